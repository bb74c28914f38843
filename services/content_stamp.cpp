#include "services/content_stamp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace zephra {

std::string readContentStamp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) throw FileError("File not found");
    throw FileError(std::string("Cannot read ") + path + ": " + std::strerror(errno));
  }
  std::string line;
  std::getline(in, line);
  if (in.bad()) throw FileError("Cannot read " + path);
  std::string stamp;
  stamp.reserve(line.size());
  for (char c : line)
    if (c != '\r') stamp += c;
  return stamp;
}

void writeContentStamp(const std::string& path, const std::string& stamp) {
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw FileError("Cannot create " + temp + ": " + std::strerror(errno));
    out << stamp << "\r\n";
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      throw FileError("Cannot write " + temp);
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    std::remove(temp.c_str());
    throw FileError("Cannot replace " + path + ": " + std::strerror(err));
  }
}

}  // namespace zephra
