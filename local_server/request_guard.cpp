#include "local_server/request_guard.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

#include "common/contract.h"
#include "common/text.h"
#include "platform/file_status.h"
#include "platform/file_writing.h"
#include "platform/input_file.h"
#include "platform/random_bytes.h"

namespace zephra {

namespace {

constexpr std::size_t kTokenBytes = 32;


// Splits "name:port" / "[::1]:port"; port is "" when absent.
void splitHostPort(std::string_view host, std::string& name, std::string& port) {
  if (!host.empty() && host.front() == '[') {
    const auto end = host.find(']');
    name = text::asciiLowered(host.substr(0, end == std::string_view::npos ? host.size() : end + 1));
    port = end != std::string_view::npos && end + 1 < host.size() && host[end + 1] == ':'
               ? std::string(host.substr(end + 2))
               : std::string();
    return;
  }
  const auto colon = host.rfind(':');
  name = text::asciiLowered(host.substr(0, colon));
  port = colon == std::string_view::npos ? std::string() : std::string(host.substr(colon + 1));
}

bool loopbackName(const std::string& name) {
  return name == "127.0.0.1" || name == "localhost" || name == "[::1]";
}

bool isHexToken(const std::string& text) {
  if (text.size() != kTokenBytes * 2) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::string readSmallRegularFile(const std::string& path) {
  std::string text;
  try {
    InputFileOptions options;
    options.finalLink = FinalLink::Report;
    options.maxSize = 256;
    InputFile file = InputFile::open(path, options);
    // Only a file of this user that nobody else may read holds a secret (the fallback lives in
    // a shared temporary folder when there is no runtime folder).
    if (!file.status().ownedByUs || file.status().othersMayAccess) return {};
    char buffer[256];
    text.assign(buffer, file.read(buffer, sizeof buffer));
  } catch (const FileRefused&) {
    return {};
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string newToken() {
  unsigned char bytes[kTokenBytes];
  fillRandomBytes(bytes, sizeof bytes);
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : bytes) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

void storeToken(const std::string& path, const std::string& token) {
  const std::string part = path + ".part";
  const std::string line = token + "\n";
  try {
    NewFile file = NewFile::create(part, NewFileAccess::OwnerOnly);
    try {
      file.write(line.data(), line.size());
      file.close();
    } catch (const std::system_error&) {
      std::error_code ignored;
      std::filesystem::remove(part, ignored);
      throw std::runtime_error("cannot write " + path);
    }
  } catch (const std::system_error& e) {
    // "create <part>: <why>"
    throw std::runtime_error(std::string("cannot ") + e.what());
  }
  std::error_code error;
  std::filesystem::rename(part, path, error);
  if (error) {
    std::filesystem::remove(part, error);
    throw std::runtime_error("cannot write " + path);
  }
}

bool isSlash(char c) { return c == '/' || c == '\\'; }

// The host of an address's authority part (after the slashes): credentials, port and any
// further slashes left out.
std::string_view authorityOf(std::string_view rest) {
  std::size_t from = 0;
  while (from < rest.size() && isSlash(rest[from])) ++from;
  std::string_view authority = rest.substr(from);
  authority = authority.substr(0, std::min(authority.size(), authority.find_first_of("/\\?#")));
  const auto at = authority.rfind('@');
  if (at != std::string_view::npos) authority = authority.substr(at + 1);
  if (!authority.empty() && authority.front() == '[') return authority;  // IPv6, port and all
  return authority.substr(0, authority.rfind(':'));
}

// One part of a numeric IPv4 host as browsers read it: decimal, 0x hex or 0-led octal.
std::optional<std::uint64_t> ipv4Part(std::string_view part) {
  unsigned base = 10;
  if (part.size() >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
    base = 16;
    part.remove_prefix(2);
  } else if (part.size() >= 2 && part[0] == '0') {
    base = 8;
    part.remove_prefix(1);
  }
  if (part.empty()) return 0;  // "0x" alone is zero to a browser
  return text::wholeNumber(part, 0xffffffffULL, base);
}

// Whether a host names this computer in any spelling a browser accepts. Hosts a browser would
// still rewrite (percent escapes, non-ASCII, IPv6 literals) count as this computer: a
// provider's pictures never need them.
bool hostIsThisComputer(std::string_view host) {
  std::string name = text::asciiLowered(host);
  if (!name.empty() && name.back() == '.') name.pop_back();
  if (name.empty() || name.front() == '[') return true;
  for (char c : name)
    if (c == '%' || static_cast<unsigned char>(c) >= 0x80) return true;
  constexpr std::string_view kLocal = "localhost", kSubLocal = ".localhost";
  if (name == kLocal ||
      (name.size() > kSubLocal.size() &&
       name.compare(name.size() - kSubLocal.size(), kSubLocal.size(), kSubLocal) == 0))
    return true;
  // A host whose last label is a number is an IPv4 address ("127.1", "2130706433", "0x7f.1").
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const auto dot = name.find('.', start);
    parts.push_back(std::string_view(name).substr(start, dot == std::string::npos ? std::string::npos
                                                                                 : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  const std::string_view last = parts.back();
  const bool decimal = !last.empty() && last.find_first_not_of("0123456789") == std::string_view::npos;
  const bool hex = last.size() >= 2 && last[0] == '0' && last[1] == 'x' &&
                   last.find_first_not_of("0123456789abcdef", 2) == std::string_view::npos;
  if (!decimal && !hex) return false;
  if (parts.size() > 4) return true;  // not an address a browser opens; not shown either
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const auto part = ipv4Part(parts[i]);
    if (parts[i].empty() || !part) return true;
    if (i + 1 < parts.size()) {
      if (*part > 255) return true;
      value |= *part << (8 * (3 - i));
    } else {
      if (*part >= (1ULL << (8 * (4 - i)))) return true;
      value |= *part;
    }
  }
  return (value >> 24) == 127 || value == 0;
}

bool sameSecret(const std::string& sent, const std::string& kept) {
  if (sent.size() != kept.size()) return false;
  unsigned char difference = 0;  // compared in constant time
  for (std::size_t i = 0; i < kept.size(); ++i)
    difference |= static_cast<unsigned char>(sent[i] ^ kept[i]);
  return difference == 0;
}

}  // namespace

bool loopbackHost(std::string_view host) {
  if (host.empty()) return true;
  std::string name, port;
  splitHostPort(host, name, port);
  return loopbackName(name);
}

bool loadsFromThisComputer(std::string_view address) {
  // Browsers drop blanks and controls anywhere in an address; rather than follow their rules
  // here, such an address is not shown at all.
  for (char c : address)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return true;
  std::size_t at = 0;
  while (at < address.size() && (std::isalnum(static_cast<unsigned char>(address[at])) ||
                                 address[at] == '+' || address[at] == '-' || address[at] == '.'))
    ++at;
  if (at == 0 || at >= address.size() || address[at] != ':' ||
      !std::isalpha(static_cast<unsigned char>(address[0]))) {
    // No scheme: relative to our page, unless it names a host of its own ("//host/...").
    if (address.size() < 2 || !isSlash(address[0]) || !isSlash(address[1])) return true;
    return hostIsThisComputer(authorityOf(address.substr(2)));
  }
  const std::string scheme = text::asciiLowered(address.substr(0, at));
  if (scheme != "http" && scheme != "https") return false;
  std::string_view rest = address.substr(at + 1);
  // "http:x" and "http:/x" are relative to a page of the same scheme, which ours are.
  if (scheme == "http" && (rest.size() < 2 || !isSlash(rest[0]) || !isSlash(rest[1])))
    return true;
  return hostIsThisComputer(authorityOf(rest));
}

bool fromAnotherOrigin(const http::Request& req, int ownPort) {
  const std::string site = req.header("Sec-Fetch-Site");
  if (!site.empty() && site != "same-origin" && site != "none") return true;
  if (!req.hasHeader("Referer")) return false;
  const std::string referer = req.header("Referer");
  constexpr std::string_view kScheme = "http://";
  if (referer.compare(0, kScheme.size(), kScheme) != 0) return true;
  const auto hostEnd = referer.find_first_of("/?#", kScheme.size());
  std::string name, port;
  splitHostPort(std::string_view(referer).substr(kScheme.size(), hostEnd == std::string::npos
                                                                      ? std::string::npos
                                                                      : hostEnd - kScheme.size()),
                name, port);
  return !loopbackName(name) || port != std::to_string(ownPort);
}

bool topLevelNavigation(const http::Request& req) {
  return req.header("Sec-Fetch-Dest") == "document";
}

bool changesStoredData(const http::Request& req) {
  if (req.path == contract::pathOf(contract::kAddFavoritePage) ||
      req.path == contract::pathOf(contract::kInstallUpdatePage))
    return true;
  return changeFromOurPages(req);
}

bool changeFromOurPages(const http::Request& req) {
  if (req.path == "/sources.php")
    return req.hasParam("add") || req.hasParam("remove") || req.hasParam("on") ||
           req.hasParam("off") || req.hasParam("refresh") || req.hasParam("check") ||
           req.hasParam("stopcheck") || req.hasParam("toaccount");
  if (req.path == "/recordings.php")
    return req.hasParam("record") || req.hasParam("cancel") || req.hasParam("delete");
  return req.path == "/favmanage.php" &&
         (req.hasParam("remove") || req.hasParam("up") || req.hasParam("down"));
}

bool playerReport(const http::Request& req) { return req.path == contract::pathOf(contract::kPlayReportPage); }

PageToken::PageToken(const std::string& path, const std::string& fallbackPath) {
  m_value = readSmallRegularFile(path);
  if (isHexToken(m_value)) return;
  if (!fallbackPath.empty()) {
    m_value = readSmallRegularFile(fallbackPath);
    if (isHexToken(m_value) && !fileStatus(path) &&
        !mayWrite(std::filesystem::path(path).parent_path().string()))
      return;  // the data folder still cannot be written: the fallback stays in use
  }
  m_value = newToken();
  try {
    storeToken(path, m_value);
    return;
  } catch (const std::exception& e) {
    if (fallbackPath.empty()) {
      std::fprintf(stderr, "zephra-server: page secret kept for this run only: %s\n", e.what());
      return;
    }
  }
  try {
    storeToken(fallbackPath, m_value);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zephra-server: page secret kept for this run only: %s\n", e.what());
  }
}

bool PageToken::carriedBy(const http::Request& req) const {
  const auto sent = req.cookie(kPageCookieName);
  return sent && sameSecret(*sent, m_value);
}

bool PageToken::provedBy(const std::string& sent) const { return sameSecret(sent, m_value); }

FormToken::FormToken() : m_value(newToken()) {}

bool FormToken::carriedBy(const http::Request& req) const {
  return req.hasParam(kFormTokenParam) && sameSecret(req.param(kFormTokenParam), m_value);
}

Admission admit(const http::Request& req, const PageToken& cookie, const FormToken& form,
                int ownPort) {
  if (!cookie.carriedBy(req)) return Admission::NoCookie;
  if (playerReport(req)) {
    for (const char* browserOnly : {"Sec-Fetch-Site", "Sec-Fetch-Mode", "Sec-Fetch-Dest", "Origin"})
      if (req.hasHeader(browserOnly)) return Admission::NotFromPlayer;
    return cookie.provedBy(req.header(kPlayerProofHeader)) ? Admission::Serve
                                                            : Admission::NotFromPlayer;
  }
  if (!changesStoredData(req)) return Admission::Serve;
  if (!topLevelNavigation(req)) return Admission::NotNavigation;
  if (fromAnotherOrigin(req, ownPort)) return Admission::OtherOrigin;
  if (changeFromOurPages(req) && !form.carriedBy(req)) return Admission::NoFormToken;
  return Admission::Serve;
}

std::string refusalText(Admission admission) {
  switch (admission) {
    case Admission::Serve:
      break;
    case Admission::NoCookie:
      return "Refused: this server answers only Zephra Player.\n";
    case Admission::NotNavigation:
      return "Refused: a change must be a page opened in the player, not a picture, script or "
             "other part of a page.\n";
    case Admission::OtherOrigin:
      return "Refused: the change was asked for by another site.\n";
    case Admission::NotFromPlayer:
      return "Refused: only the player itself reports how a channel played.\n";
    case Admission::NoFormToken:
      return "Refused: the change did not come from the player's own page; open that page "
             "again and repeat it.\n";
  }
  return {};
}

}  // namespace zephra
