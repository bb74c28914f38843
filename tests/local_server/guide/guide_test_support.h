// Shared pieces of the guide tests: private folders, files, and XMLTV snippets.
#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "tests/support/temp_dir.h"

namespace zephra::guide::test {

namespace fs = std::filesystem;

using zephra::test::TempDir;

inline std::string writeFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path.string());
  return path.string();
}

inline std::string tv(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n" + body + "</tv>\n";
}

inline std::string programme(const std::string& channel, const std::string& start,
                             const std::string& stop, const std::string& title,
                             const std::string& inner = "") {
  std::string out = "<programme channel=\"" + channel + "\" start=\"" + start + "\"";
  if (!stop.empty()) out += " stop=\"" + stop + "\"";
  return out + "><title>" + title + "</title>" + inner + "</programme>\n";
}

inline std::string channelElement(const std::string& id, const std::string& name) {
  return "<channel id=\"" + id + "\"><display-name>" + name + "</display-name></channel>\n";
}

}  // namespace zephra::guide::test
