#include "player_logic/settings.h"

#include <cstdlib>

#include "common/text.h"
#include "common/zephra_constants.h"
#include "player_logic/first_line.h"

namespace zephra {
namespace {

// First line of a small text file with surrounding white space removed; "" on any problem.
std::string firstLineTrimmed(const std::string& path) {
  try {
    return std::string(text::trimmed(readFirstLine(path), " \t\r\n\f\v"));
  } catch (...) {
    return {};
  }
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

namespace {

// An XDG base folder: the variable when it holds an absolute path (the rules call relative ones
// invalid), else `fallback` in the home folder; "" when neither is known.
std::string xdgFolder(const char* variable, const char* fallback) {
  const char* xdg = std::getenv(variable);
  if (xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  return std::string(home) + "/" + fallback;
}

}  // namespace

std::string accountCodePath() {
  const std::string base = xdgFolder("XDG_CONFIG_HOME", ".config");
  return base.empty() ? base : base + "/zephra-player/account";
}

std::string userCacheFolder() {
  const std::string base = xdgFolder("XDG_CACHE_HOME", ".cache");
  return base.empty() ? base : base + "/zephra-player";
}

std::string loadAccountCode() {
  const std::string path = accountCodePath();
  return path.empty() ? std::string() : loadAccountCode(path);
}

std::string loadAccountCode(const std::string& path) { return firstLineTrimmed(path); }

std::string loadRemoteBase(const std::string& appDir) {
  std::string base = firstLineTrimmed(appDir + "remotebase.txt");
  if (!startsWith(base, "http://") && !startsWith(base, "https://")) base = kDefaultRemoteBase;
  if (base.empty() || base.back() != '/') base += '/';
  return base;
}

}  // namespace zephra
