#include "player_logic/content_stamp.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/file_writing.h"

namespace zephra {

std::string readContentStamp(const std::string& path) {
  const std::string line = readFirstLine(path);
  std::string stamp;
  stamp.reserve(line.size());
  for (char c : line)
    if (c != '\r') stamp += c;
  return stamp;
}

void writeContentStamp(const std::string& path, const std::string& stamp) {
  const std::string temp = path + ".tmp";
  const std::string line = stamp + "\r\n";
  auto fail = [&](const char* what, const std::string& name, const std::error_code& error) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw FileError(std::string(what) + name + ": " + error.message());
  };
  try {
    NewFile out = NewFile::create(temp);
    try {
      // On the disk before the rename, so that a crash leaves the old file or the whole new one.
      out.write(line.data(), line.size());
      out.sync();
      out.close();
    } catch (const std::system_error& e) {
      fail("Cannot write ", temp, e.code());
    }
  } catch (const std::system_error& e) {
    fail("Cannot create ", temp, e.code());
  }
  std::error_code error;
  std::filesystem::rename(temp, path, error);
  if (error) fail("Cannot replace ", path, error);
}

}  // namespace zephra
