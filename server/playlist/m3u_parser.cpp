#include "server/playlist/m3u_parser.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "server/playlist/channel_id.h"
#include "server/playlist/extinf.h"
#include "server/playlist/text_encoding.h"

namespace zephra {
namespace {

// A garbage file could otherwise produce one warning per line and hold megabytes of them.
constexpr std::size_t kMaxWarnings = 100;

// Far above any real channel list (50,000 channels take about 5 MB); reading more than this into
// memory is a mistake we refuse rather than exhaust the server's memory.
constexpr long long kMaxFileBytes = 256LL * 1024 * 1024;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

class Parser {
 public:
  Playlist run(std::string_view text) {
    std::string utf16Decoded;
    if (decodeUtf16WithBom(text, utf16Decoded)) text = utf16Decoded;
    text = stripUtf8Bom(text);

    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
      const char* lineEnd = p;
      // CR LF, LF and a lone CR (old Mac editors) all end a line.
      while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
      ++m_lineNumber;
      handleLine(std::string_view(p, static_cast<std::size_t>(lineEnd - p)));
      p = lineEnd;
      if (p < end && *p++ == '\r' && p < end && *p == '\n') ++p;
    }
    if (m_hasPending) warn(m_pendingLine, "#EXTINF without a stream address");
    if (m_suppressedWarnings > 0) {
      m_result.warnings.push_back(std::to_string(m_suppressedWarnings) +
                                  " more warnings not shown");
    }
    return std::move(m_result);
  }

 private:
  void handleLine(std::string_view raw) {
    std::string_view line = trimBlanks(raw);
    if (line.empty()) return;
    if (!isValidUtf8(line)) {
      m_decoded.clear();
      appendLatin1AsUtf8(line, m_decoded);
      line = m_decoded;
    }
    if (line.front() != '#') {
      handleUrl(line);
    } else if (startsWithNoCase(line, "#EXTINF:")) {
      handleExtInf(line.substr(8));
    } else if (startsWithNoCase(line, "#EXTGRP:")) {
      m_pendingGroupFromExtGrp = cleanText(line.substr(8));
    }
    // Every other '#' line (#EXTM3U, #EXTVLCOPT, #PLAYLIST, comments) has nothing for us.
  }

  void handleExtInf(std::string_view text) {
    if (m_hasPending) warn(m_pendingLine, "#EXTINF without a stream address");
    const ExtInfFields fields = parseExtInf(text);
    if (fields.unclosedQuote) warn(m_lineNumber, "unclosed quote in #EXTINF");
    else if (!fields.hasNameSeparator) warn(m_lineNumber, "#EXTINF without a ',' before the name");
    m_pending.name = cleanText(fields.name);
    m_pending.tvgId = cleanText(fields.tvgId);
    m_pending.tvgName = cleanText(fields.tvgName);
    m_pending.logo = cleanText(fields.logo);
    m_pending.group = cleanText(fields.group);
    m_hasPending = true;
    m_pendingLine = m_lineNumber;
  }

  void handleUrl(std::string_view url) {
    if (hasControlChars(url)) {
      // Binary junk or a mangled line: passing it to the player as an address would only fail later.
      warn(m_lineNumber, "not a stream address (control characters)");
      return;
    }
    Channel channel;
    if (m_hasPending) {
      channel = std::move(m_pending);
      m_pending = Channel();
      m_hasPending = false;
    }
    channel.url = std::string(url);
    if (channel.name.empty()) channel.name = channel.tvgName.empty() ? channel.url : channel.tvgName;
    // group-title belongs to this very entry; an #EXTGRP line is the older, looser form.
    if (channel.group.empty()) channel.group = std::move(m_pendingGroupFromExtGrp);
    m_pendingGroupFromExtGrp.clear();

    const std::uint64_t hash = channelHash(channel.url, channel.name);
    if (!m_seen.insert(hash).second) {
      warn(m_lineNumber, "duplicate entry skipped: " + channel.name);
      return;
    }
    channel.id = channelIdFromHash(hash);
    m_result.channels.push_back(std::move(channel));
  }

  void warn(std::size_t line, const std::string& message) {
    if (m_result.warnings.size() >= kMaxWarnings) {
      ++m_suppressedWarnings;
      return;
    }
    m_result.warnings.push_back("line " + std::to_string(line) + ": " + message);
  }

  Playlist m_result;
  std::size_t m_lineNumber = 0;
  Channel m_pending;
  bool m_hasPending = false;
  std::size_t m_pendingLine = 0;
  std::string m_pendingGroupFromExtGrp;
  std::string m_decoded;
  std::unordered_set<std::uint64_t> m_seen;
  std::size_t m_suppressedWarnings = 0;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

Playlist parseM3u(std::string_view text) { return Parser().run(text); }

Playlist loadM3uFile(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw PlaylistError("cannot open playlist " + path + ": " + std::strerror(errno));
  std::string content;
  char buffer[65536];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    if (got < sizeof buffer && std::ferror(file.get())) {
      throw PlaylistError("cannot read playlist " + path + ": " + std::strerror(errno));
    }
    content.append(buffer, got);
    if (static_cast<long long>(content.size()) > kMaxFileBytes) {
      throw PlaylistError("playlist " + path + " is larger than " +
                          std::to_string(kMaxFileBytes / (1024 * 1024)) + " MB");
    }
    if (got < sizeof buffer) break;
  }
  return parseM3u(content);
}

}  // namespace zephra
