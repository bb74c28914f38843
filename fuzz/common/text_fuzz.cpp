// The shared text helpers on arbitrary bytes, as they meet them in request targets, play links,
// playlists and page values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text.h"

using namespace zephra::text;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // Encoding and decoding are each other's inverse, and the decoders never grow the text.
  const std::string encoded = percentEncoded(input);
  if (percentDecoded(encoded) != input || strictlyPercentDecoded(encoded) != input) __builtin_trap();
  const std::string lenient = percentDecoded(input);
  if (lenient.size() > input.size() || percentDecoded(input, Plus::AsSpace).size() != lenient.size())
    __builtin_trap();
  // Where the strict decoder accepts, it agrees with the lenient one.
  if (const auto strict = strictlyPercentDecoded(input); strict && *strict != lenient) __builtin_trap();

  // The whole-text check and the sequence walk agree, and a sequence never runs past the end.
  bool walked = true;
  for (std::size_t i = 0; i < input.size();) {
    std::uint32_t codePoint = 0;
    const std::size_t length = utf8SequenceAt(input, i, codePoint);
    if (length == 0) {
      walked = false;
      break;
    }
    if (length > input.size() - i || codePoint > 0x10FFFF) __builtin_trap();
    i += length;
  }
  if (walked != isValidUtf8(input)) __builtin_trap();

  if (escapeHtml(input).find_first_of("<>\"'") != std::string::npos) __builtin_trap();
  return 0;
}
