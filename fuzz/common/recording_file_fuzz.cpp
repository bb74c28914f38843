// Recording names from channel names and titles, and the videos folder from a user-dirs.dirs
// text: a name never leaves its folder, and the folder read is always absolute.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/recording/recording_file.h"
#include "common/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  const std::string part = zephra::fileNamePart(input);
  if (part.empty() || part.size() > zephra::kNamePartLimit || !zephra::text::isValidUtf8(part) ||
      part.find_first_of(std::string("/\\\0", 3)) != std::string::npos || part.front() == '.' ||
      part.back() == '.' || part.front() == ' ')
    __builtin_trap();
  const std::string name = zephra::recordingFileName(input, 0, input);
  if (name.find('/') != std::string::npos || name.size() >= 255) __builtin_trap();

  if (const auto folder = zephra::videosFolderFromUserDirs(input, "/home/u"); folder && !folder->is_absolute())
    __builtin_trap();
  return 0;
}
