// The request headers a stream may need (many providers answer only to a given user agent or
// referrer), carried after the address in the form playlists use:
//   http://host/live.m3u8|User-Agent=Mozilla%2F5.0&Referer=http%3A%2F%2Fhost%2F
// The local server writes play links in this form and the player splits it off again before
// the address is checked or opened.
#pragma once

#include <string>
#include <string_view>

namespace zephra {

struct StreamHeaders {
  std::string userAgent;  // decoded; "" when none
  std::string referrer;
  bool empty() const { return userAgent.empty() && referrer.empty(); }
  bool operator==(const StreamHeaders& other) const {
    return userAgent == other.userAgent && referrer == other.referrer;
  }
};

struct StreamRequest {
  std::string address;  // the value without its header part
  StreamHeaders headers;
  // Not empty when the header part was recognised but a value holds a control character once
  // decoded (a CR or LF would start a header of its own): nothing of it may be used.
  std::string problem;
};

// Splits the header part off `value`. Only a last "|" followed by "&"-separated Name=value pairs
// whose names are User-Agent or Referer (any case) counts; values are percent-decoded. Anything
// else after a "|" (or an address that merely holds one) leaves the value whole, as the address.
StreamRequest splitStreamHeaders(std::string_view value);

// The value splitStreamHeaders takes apart: the address, then "|User-Agent=...&Referer=..." with
// percent-encoded values, omitting empty ones; the bare address when both are empty.
std::string joinStreamHeaders(std::string_view address, const StreamHeaders& headers);

}  // namespace zephra
