// Requests as anyone on this computer may send them: the target on the first line, then header
// lines "Name: value"; and the same bytes as a playlist's logo address.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/http/request_target.h"
#include "local_server/request_guard.h"

namespace {

const zephra::PageToken& cookie() {
  // A data folder that cannot exist: the value is made for this run only.
  static const zephra::PageToken token("/nonexistent/zephra-fuzz/page-token");
  return token;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  (void)zephra::loadsFromThisComputer(input);

  static const zephra::FormToken form;
  zephra::http::Request req;
  std::size_t start = 0;
  bool first = true;
  while (start <= input.size()) {
    const auto end = std::min(input.find('\n', start), input.size());
    const std::string_view line = input.substr(start, end - start);
    if (first) {
      const auto parsed = zephra::http::parseRequestTarget(std::string(line));
      if (!parsed) return 0;
      req.target = std::string(line);
      req.path = parsed->path;
      req.params = parsed->params;
      first = false;
    } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
      std::string value(line.substr(colon + 1));
      if (value == " COOKIE") value = " " + std::string(zephra::kPageCookieName) + "=" + cookie().value();
      req.headers.emplace_back(std::string(line.substr(0, colon)), value.substr(value.empty() ? 0 : 1));
    }
    start = end + 1;
  }
  const zephra::Admission verdict = zephra::admit(req, cookie(), form, 8480);
  if (verdict == zephra::Admission::Serve &&
      (!cookie().carriedBy(req) ||
       (zephra::changesStoredData(req) && !zephra::topLevelNavigation(req))))
    __builtin_trap();
  if (verdict != zephra::Admission::Serve && zephra::refusalText(verdict).empty()) __builtin_trap();
  return 0;
}
