// The local server's page cookie as the player sends it: read from the server's data folder
// (the server never hands it out). Every test and helper that talks to a local server over HTTP
// takes it from here.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "common/zephra_constants.h"

namespace zephra::test {

// "zephra_page=<secret>" for a Cookie header; "" while the server has not written its secret.
inline std::string pageCookie(const std::filesystem::path& dataDir) {
  std::ifstream in(dataDir / kLocalServerSecretFile);
  std::string secret;
  if (!std::getline(in, secret) || secret.empty()) return {};
  return std::string(kLocalServerCookieName) + "=" + secret;
}

}  // namespace zephra::test
