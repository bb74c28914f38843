// sources.php additions and #EXTM3U header guides as anyone may send them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "local_server/playlist/m3u_parser.h"
#include "local_server/sources/source_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = text.find('\n');
  const std::string name = text.substr(0, cut);
  const std::string location = cut == std::string::npos ? std::string() : text.substr(cut + 1);
  std::string why;
  const auto input = zephra::parseSourceInput("playlist", name, location, why);
  if (input && (input->location.empty() || input->name.size() > zephra::kMaxSourceNameBytes * 2))
    __builtin_trap();
  if (!input && why.empty()) __builtin_trap();
  const auto playlist = zephra::parseM3u("#EXTM3U " + text);
  if (playlist.guideAddresses.size() > 16) __builtin_trap();
  return 0;
}
