#include "common/recording/recording_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/text.h"
#include "platform/calendar_time.h"
#include "platform/input_file.h"

namespace zephra {
namespace {

constexpr char kFolderName[] = "Zephra Player";

bool replacedInNames(std::uint32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  switch (c) {
    case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      break;
  }
  // Line and paragraph separators, and the direction overrides that make "evil\u202Ests.exe"
  // look like a .ts file.
  return c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string dateAndTime(std::time_t start) {
  std::optional<std::tm> tm = localCalendarTime(static_cast<std::int64_t>(start));
  if (!tm) tm = utcCalendarTime(static_cast<std::int64_t>(start));
  if (!tm) return "0000-00-00 00-00";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d-%02d", tm->tm_year + 1900, tm->tm_mon + 1,
                tm->tm_mday, tm->tm_hour, tm->tm_min);
  return buffer;
}

// The value of one XDG_VIDEOS_DIR line: the text between its double quotes, escapes undone;
// none when the line is not one.
std::optional<std::string> quotedValue(std::string_view line) {
  constexpr std::string_view kKey = "XDG_VIDEOS_DIR";
  line = text::trimmed(line, " \t\r");
  if (line.substr(0, kKey.size()) != kKey) return std::nullopt;
  line = text::trimmed(line.substr(kKey.size()), " \t");
  if (line.empty() || line.front() != '=') return std::nullopt;
  line = text::trimmed(line.substr(1), " \t");
  if (line.empty() || line.front() != '"') return std::nullopt;
  std::string value;
  for (std::size_t i = 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') return value;
    if (c == '\\') {
      if (++i == line.size()) break;
      c = line[i];
    }
    if (c == '\0') return std::nullopt;
    value += c;
  }
  return std::nullopt;  // no closing quote
}

std::filesystem::path configFolder(const std::filesystem::path& home) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  return home / ".config";
}

}  // namespace

std::string fileNamePart(std::string_view name) {
  std::string out;
  for (std::size_t i = 0; i < name.size() && out.size() <= kNamePartLimit;) {
    std::uint32_t c = 0;
    const std::size_t length = text::utf8SequenceAt(name, i, c);
    if (length == 0 || replacedInNames(c)) {
      out += '_';
      i += length == 0 ? 1 : length;
    } else {
      out.append(name.substr(i, length));
      i += length;
    }
  }
  out = std::string(text::trimmed(text::clippedUtf8(text::trimmed(out, " ."), kNamePartLimit), " ."));
  return out.empty() ? "Recording" : out;
}

std::string recordingFileName(const std::string& channel, std::time_t start) {
  return fileNamePart(channel) + ' ' + dateAndTime(start) + ".ts";
}

std::string recordingFileName(const std::string& channel, std::time_t start, const std::string& title) {
  if (text::trimmed(title, " \t").empty()) return recordingFileName(channel, start);
  return fileNamePart(channel) + ' ' + dateAndTime(start) + ' ' + fileNamePart(title) + ".ts";
}

std::filesystem::path partialRecordingPath(const std::filesystem::path& finished) {
  std::filesystem::path partial = finished;
  partial += std::string(kPartialSuffix);
  return partial;
}

std::optional<std::filesystem::path> videosFolderFromUserDirs(std::string_view content,
                                                             const std::filesystem::path& home) {
  constexpr std::string_view kHome = "$HOME";
  std::optional<std::filesystem::path> found;
  std::size_t begin = 0;
  while (begin <= content.size()) {
    std::size_t end = content.find('\n', begin);
    if (end == std::string_view::npos) end = content.size();
    const std::optional<std::string> value = quotedValue(content.substr(begin, end - begin));
    begin = end + 1;
    if (!value) continue;
    // The last line that names the folder counts, as the desktop's own reader does it.
    if (value->compare(0, kHome.size(), kHome) == 0 &&
        (value->size() == kHome.size() || (*value)[kHome.size()] == '/')) {
      const std::string rest(text::trimmed(std::string_view(*value).substr(kHome.size()), "/"));
      found = rest.empty() ? std::optional<std::filesystem::path>() : (home / rest).lexically_normal();
    } else if (!value->empty() && value->front() == '/') {
      found = std::filesystem::path(*value).lexically_normal();
      if (found == home.lexically_normal() || *found == "/") found.reset();
    }
  }
  return found;
}

std::filesystem::path recordingsFolder() {
  const char* homeText = std::getenv("HOME");
  if (!homeText || *homeText != '/') return {};
  const std::filesystem::path home(homeText);
  std::optional<std::filesystem::path> videos;
  try {
    InputFile file = InputFile::open((configFolder(home) / "user-dirs.dirs").string(),
                                     InputFileOptions{FinalLink::Follow, kUserDirsLimit, std::nullopt});
    std::vector<char> content(file.size());
    std::size_t filled = 0;
    while (filled < content.size()) {
      const std::size_t n = file.read(content.data() + filled, content.size() - filled);
      if (n == 0) break;
      filled += n;
    }
    videos = videosFolderFromUserDirs(std::string_view(content.data(), filled), home);
  } catch (const std::exception&) {
    // A missing, oversized or unreadable file: the usual folder.
  }
  return videos.value_or(home / "Videos") / kFolderName;
}

}  // namespace zephra
