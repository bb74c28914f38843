#include "player_logic/first_line.h"

#include <cstring>
#include <optional>

#include "platform/input_file.h"

namespace zephra {
namespace {

[[noreturn]] void cannotRead(const std::string& path, const std::string& reason) {
  throw FileError("Cannot read " + path + ": " + reason);
}

}  // namespace

std::string readFirstLine(const std::string& path, std::size_t limit) {
  // A FIFO without a writer is refused at once, not waited for.
  std::optional<InputFile> file;
  try {
    file.emplace(InputFile::open(path));
  } catch (const FileRefused& e) {
    if (e.reason() == FileRefused::Reason::Missing) throw FileError("File not found");
    throw FileError(std::string("Cannot read ") + e.what());
  }

  std::string line;
  char buffer[16384];
  for (;;) {
    std::size_t got = 0;
    try {
      got = file->read(buffer, sizeof buffer);
    } catch (const FileRefused& e) {
      throw FileError(std::string("Cannot read ") + e.what());
    }
    if (got == 0) break;
    const void* end = std::memchr(buffer, '\n', got);
    const std::size_t take = end ? static_cast<std::size_t>(static_cast<const char*>(end) - buffer) : got;
    if (line.size() + take > limit)
      cannotRead(path, "the first line is longer than " + std::to_string(limit) + " bytes");
    line.append(buffer, take);
    if (end) break;
  }
  return line;
}

}  // namespace zephra
