// Link commands are addresses that directory pages navigate to.
#include <cstddef>
#include <cstdint>
#include <string>

#include "player_logic/link_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  const auto command = zephra::decodeLinkCommand(url);
  // The value is the text after the first "|" of the command, passed on untouched.
  if (command && url.find(command->value) == std::string::npos) __builtin_trap();
  return 0;
}
