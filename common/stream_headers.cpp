#include "common/stream_headers.h"

#include "common/text.h"

namespace zephra {
namespace {

constexpr std::string_view kUserAgent = "user-agent";
constexpr std::string_view kReferer = "referer";

bool hasControlCharacter(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

// Fills `headers` from the pairs of `tail`; false when tail is not a header part.
bool readPairs(std::string_view tail, StreamHeaders& headers, std::string& problem) {
  bool anyPair = false;
  while (!tail.empty()) {
    const std::size_t amp = tail.find('&');
    const std::string_view pair = tail.substr(0, amp);
    tail = amp == std::string_view::npos ? std::string_view() : tail.substr(amp + 1);
    if (pair.empty()) continue;  // "a=b&" or "a=b&&c=d"
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view name = pair.substr(0, equals);
    const bool userAgent = text::equalsIgnoringCase(name, kUserAgent);
    if (!userAgent && !text::equalsIgnoringCase(name, kReferer)) return false;
    std::string value = text::percentDecoded(pair.substr(equals + 1));
    if (hasControlCharacter(value) && problem.empty())
      problem = std::string("the stream's ") + (userAgent ? "user agent" : "referrer") +
                " holds a control character";
    (userAgent ? headers.userAgent : headers.referrer) = std::move(value);
    anyPair = true;
  }
  return anyPair;
}

}  // namespace

StreamRequest splitStreamHeaders(std::string_view value) {
  StreamRequest request;
  const std::size_t bar = value.rfind('|');
  if (bar != std::string_view::npos) {
    StreamHeaders headers;
    std::string problem;
    if (readPairs(value.substr(bar + 1), headers, problem)) {
      request.address = std::string(value.substr(0, bar));
      if (problem.empty())
        request.headers = std::move(headers);
      else
        request.problem = std::move(problem);
      return request;
    }
  }
  request.address = std::string(value);
  return request;
}

std::string joinStreamHeaders(std::string_view address, const StreamHeaders& headers) {
  std::string out(address);
  if (headers.empty()) return out;
  out += '|';
  if (!headers.userAgent.empty()) {
    out += "User-Agent=";
    text::appendPercentEncoded(out, headers.userAgent);
  }
  if (!headers.referrer.empty()) {
    if (!headers.userAgent.empty()) out += '&';
    out += "Referer=";
    text::appendPercentEncoded(out, headers.referrer);
  }
  return out;
}

}  // namespace zephra
