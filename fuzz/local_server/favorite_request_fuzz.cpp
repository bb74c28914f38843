// valid.php request targets as the player (or anyone) may send them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "local_server/favorite_request.h"
#include "common/http/request_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string target(reinterpret_cast<const char*>(data), size);
  const auto parsed = zephra::http::parseRequestTarget(target);
  if (!parsed) return 0;
  std::string why;
  const auto command = zephra::parseAddFavorite(target, parsed->params, why);
  if (command && (command->value.empty() || command->code.size() > zephra::kMaxAccountCodeBytes))
    __builtin_trap();
  if (!command && why.empty()) __builtin_trap();
  return 0;
}
