#include "common/stream_headers.h"

namespace zephra {
namespace {

constexpr std::string_view kUserAgent = "user-agent";
constexpr std::string_view kReferer = "referer";

bool equalsNoCase(std::string_view text, std::string_view lowerCase) {
  if (text.size() != lowerCase.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerCase[i]) return false;
  }
  return true;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "%XX" becomes its byte; a "%" not followed by two hex digits stays as it is.
std::string percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

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
    const bool userAgent = equalsNoCase(name, kUserAgent);
    if (!userAgent && !equalsNoCase(name, kReferer)) return false;
    std::string value = percentDecoded(pair.substr(equals + 1));
    if (hasControlCharacter(value) && problem.empty())
      problem = std::string("the stream's ") + (userAgent ? "user agent" : "referrer") +
                " holds a control character";
    (userAgent ? headers.userAgent : headers.referrer) = std::move(value);
    anyPair = true;
  }
  return anyPair;
}

void appendPercentEncoded(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
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
    appendPercentEncoded(out, headers.userAgent);
  }
  if (!headers.referrer.empty()) {
    if (!headers.userAgent.empty()) out += '&';
    out += "Referer=";
    appendPercentEncoded(out, headers.referrer);
  }
  return out;
}

}  // namespace zephra
