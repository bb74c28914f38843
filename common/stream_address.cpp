#include "common/stream_address.h"

#include <algorithm>
#include <array>

namespace zephra {
namespace {

constexpr std::array<std::string_view, 11> kNetworkStreamSchemes = {
    "http", "https", "rtsp", "rtsps", "rtmp", "rtmps", "rtp", "udp", "srt", "mms", "mmsh"};

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Length of the scheme at the start of `address` (letter, then letters, digits, "+", "-", ".",
// ended by ":"), 0 when there is none.
std::size_t schemeLength(std::string_view address) {
  if (address.empty() || !isAsciiLetter(address[0])) return 0;
  for (std::size_t i = 1; i < address.size(); ++i) {
    const char c = address[i];
    if (c == ':') return i;
    if (!isAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return 0;
  }
  return 0;
}

}  // namespace

const char* const kMediaLibraryProtocols =
    "http,https,httpproxy,tls,tcp,udp,rtp,srtp,rtmp,rtmps,rtmpt,rtmpts,ffrtmphttp,srt,mmsh,mmst,crypto";

const char* const kNetworkStreamSchemesText = "http, https, rtsp, rtsps, rtmp, rtmps, rtp, udp, srt, mms, mmsh";

std::string addressScheme(std::string_view address) {
  std::string scheme(address.substr(0, schemeLength(address)));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), lower);
  return scheme;
}

bool isNetworkStreamScheme(std::string_view scheme) {
  return std::find(kNetworkStreamSchemes.begin(), kNetworkStreamSchemes.end(), scheme) !=
         kNetworkStreamSchemes.end();
}

bool isNetworkStreamAddress(std::string_view address) {
  if (address.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) return false;
  const std::string scheme = addressScheme(address);
  return isNetworkStreamScheme(scheme) && address.substr(scheme.size(), 3) == "://";
}

std::string withLowerCaseScheme(std::string_view address) {
  return addressScheme(address) + std::string(address.substr(schemeLength(address)));
}

}  // namespace zephra
