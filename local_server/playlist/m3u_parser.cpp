#include "local_server/playlist/m3u_parser.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "common/catchup/catchup.h"
#include "common/stream_address.h"
#include "common/text.h"
#include "local_server/playlist/channel_id.h"
#include "local_server/playlist/extinf.h"
#include "local_server/playlist/text_encoding.h"
#include "platform/input_file.h"

namespace zephra {
namespace {

// A garbage file could otherwise produce one warning per line and hold megabytes of them.
constexpr std::size_t kMaxWarnings = 100;

constexpr long long kMaxFileBytes = static_cast<long long>(kMaxPlaylistFileBytes);

// At most about 80 bytes of text for a warning, cut at a character boundary.
std::string shortened(const std::string& text) {
  return text::clippedUtf8(text, 80, "...");
}

// The ids seen so far, as their 64-bit hashes: open addressing in one flat array. A node-based
// set spent more time chasing and freeing nodes than the rest of parsing together.
class HashSet {
 public:
  explicit HashSet(std::size_t expected) {
    std::size_t capacity = 16;
    while (capacity < expected * 2) capacity *= 2;
    m_slots.assign(capacity, 0);
  }

  // True when hash was not in the set yet.
  bool insert(std::uint64_t hash) {
    if (hash == 0) {  // 0 marks an empty slot, so it is kept aside
      const bool added = !m_hasZero;
      m_hasZero = true;
      return added;
    }
    if ((m_size + 1) * 2 > m_slots.size()) grow();
    return place(hash);
  }

 private:
  bool place(std::uint64_t hash) {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
      if (m_slots[i] == hash) return false;
      if (m_slots[i] == 0) {
        m_slots[i] = hash;
        ++m_size;
        return true;
      }
    }
  }

  void grow() {
    std::vector<std::uint64_t> old(m_slots.size() * 2, 0);
    old.swap(m_slots);
    m_size = 0;
    for (std::uint64_t hash : old) {
      if (hash != 0) place(hash);
    }
  }

  std::vector<std::uint64_t> m_slots;
  std::size_t m_size = 0;
  bool m_hasZero = false;
};

class Parser {
 public:
  explicit Parser(std::size_t maxChannels) : m_maxChannels(maxChannels) {}

  Playlist run(std::string_view text) {
    std::string utf16Decoded;
    if (decodeUtf16WithBom(text, utf16Decoded)) text = utf16Decoded;
    text = stripUtf8Bom(text);

    const char* p = text.data();
    const char* const end = p + text.size();
    // Sized for a normal list (an entry per two lines), capped so a huge junk file cannot make
    // us reserve far more than it will ever fill.
    std::size_t lines = 0;
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(
                                  q, '\n', static_cast<std::size_t>(end - q)))) != nullptr;
         ++q) {
      ++lines;
    }
    m_seen = HashSet(std::min<std::size_t>(lines / 2 + 1, 1 << 20));
    m_result.channels.reserve(std::min<std::size_t>({lines / 2 + 1, 1 << 16, m_maxChannels}));
    while (p < end) {
      // CR LF, LF and a lone CR (old Mac editors) all end a line. memchr is vectorised, which
      // matters at a million lines per second.
      const char* newline = static_cast<const char*>(
          std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (newline == nullptr) newline = end;
      const char* lineEnd = static_cast<const char*>(
          std::memchr(p, '\r', static_cast<std::size_t>(newline - p)));
      if (lineEnd == nullptr) lineEnd = newline;
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
    m_result.channels.finish();
    return std::move(m_result);
  }

 private:
  void handleLine(std::string_view raw) {
    std::string_view line = text::trimmed(raw);
    if (line.empty()) return;
    if (!text::isValidUtf8(line)) {
      m_decoded.clear();
      appendLatin1AsUtf8(line, m_decoded);
      line = m_decoded;
    }
    // One scan per line instead of one per field: control characters are rare.
    m_lineHasControls = hasControlChars(line);
    if (line.front() != '#') {
      handleUrl(line);
    } else if (text::startsWithIgnoringCase(line, "#EXTINF:")) {
      handleExtInf(line.substr(8));
    } else if (text::startsWithIgnoringCase(line, "#EXTGRP:")) {
      m_pendingGroupFromExtGrp = fieldText(text::trimmed(line.substr(8)));
    } else if (text::startsWithIgnoringCase(line, "#EXTVLCOPT:")) {
      handleVlcOption(line.substr(11));
    } else if (text::startsWithIgnoringCase(line, "#EXTM3U") && !m_lineHasControls) {
      handleHeader(line.substr(7));
    }
    // Every other '#' line (#PLAYLIST, comments) has nothing for us.
  }

  void handleHeader(std::string_view text) {
    constexpr std::size_t kMaxGuides = 16;  // a hostile header must not add thousands of sources
    auto& guides = m_result.guideAddresses;
    for (std::string_view address : parseHeaderGuides(text)) {
      if (guides.size() >= kMaxGuides) break;
      if (std::find(guides.begin(), guides.end(), address) == guides.end())
        guides.emplace_back(address);
    }
    const ExtInfFields fields = parseHeaderAttributes(text);
    m_defaultCatchup.mode = std::string(fields.catchupMode);
    m_defaultCatchup.source = std::string(fields.catchupSource);
    m_defaultCatchup.days = std::string(fields.catchupDays.empty() ? fields.archiveDays : fields.catchupDays);
    m_defaultCatchup.correction = std::string(fields.catchupCorrection);
  }

  // Each catch-up attribute the entry lacks comes from the #EXTM3U line.
  void assignCatchup(const ExtInfFields& fields) {
    auto either = [](std::string_view own, const std::string& byDefault) {
      return own.empty() ? std::string_view(byDefault) : own;
    };
    const std::string_view days = fields.catchupDays.empty() ? fields.archiveDays : fields.catchupDays;
    m_pending.catchupMode = fieldText(either(fields.catchupMode, m_defaultCatchup.mode));
    m_pending.catchupSource = fieldText(either(fields.catchupSource, m_defaultCatchup.source));
    m_pending.catchupDays = catchup::parseDays(either(days, m_defaultCatchup.days));
    m_pending.catchupCorrection = catchup::parseCorrection(either(fields.catchupCorrection, m_defaultCatchup.correction));
  }

  // The player options that carry request headers; the others are the player's business.
  void handleVlcOption(std::string_view text) {
    if (text::startsWithIgnoringCase(text, "HTTP-USER-AGENT="))
      m_pendingVlcHeaders.userAgent = fieldText(text::trimmed(text.substr(16)));
    else if (text::startsWithIgnoringCase(text, "HTTP-REFERRER="))
      m_pendingVlcHeaders.referrer = fieldText(text::trimmed(text.substr(14)));
  }

  void handleExtInf(std::string_view text) {
    if (m_hasPending) warn(m_pendingLine, "#EXTINF without a stream address");
    const ExtInfFields fields = parseExtInf(text);
    if (fields.unclosedQuote) warn(m_lineNumber, "unclosed quote in #EXTINF");
    else if (!fields.hasNameSeparator) warn(m_lineNumber, "#EXTINF without a ',' before the name");
    m_pending.name = fieldText(fields.name);
    m_pending.tvgId = fieldText(fields.tvgId);
    m_pending.tvgName = fieldText(fields.tvgName);
    m_pending.tvgShift = fieldText(fields.tvgShift);
    m_pending.logo = fieldText(fields.logo);
    m_pending.group = fieldText(fields.group);
    m_pending.headers.userAgent = fieldText(fields.userAgent);
    m_pending.headers.referrer = fieldText(fields.referrer);
    assignCatchup(fields);
    m_hasPending = true;
    m_pendingLine = m_lineNumber;
  }

  void handleUrl(std::string_view url) {
    if (m_lineHasControls) {
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
    StreamHeaders vlcHeaders = std::move(m_pendingVlcHeaders);
    m_pendingVlcHeaders = StreamHeaders();
    StreamRequest request = splitStreamHeaders(url);
    if (!request.problem.empty()) {
      // The player would refuse it as well: a line end in a header would start another header.
      m_pendingGroupFromExtGrp.clear();
      warn(m_lineNumber, request.problem + ", left out: " + shortened(std::string(url)));
      return;
    }
    mergeHeaders(channel.headers, vlcHeaders);
    mergeHeaders(channel.headers, request.headers);
    url = text::trimmed(request.address);
    // The player would refuse it: a local file, a filter graph or a helper protocol, never a
    // channel. Listing it would only offer a click that cannot play.
    if (!isNetworkStreamAddress(url)) {
      if (m_result.leftOutFirstLine == 0) m_result.leftOutFirstLine = m_lineNumber;
      ++m_result.leftOutCount;
      m_pendingGroupFromExtGrp.clear();
      warn(m_lineNumber, "not a network stream address, left out: " + shortened(std::string(url)));
      return;
    }
    channel.url = std::string(url);
    if (channel.name.empty()) channel.name = channel.tvgName.empty() ? channel.url : channel.tvgName;
    // group-title belongs to this very entry; an #EXTGRP line is the older, looser form.
    if (channel.group.empty()) channel.group = std::move(m_pendingGroupFromExtGrp);
    m_pendingGroupFromExtGrp.clear();

    // Past the limit nothing more is kept, not even for finding repeats.
    if (m_result.channels.size() >= m_maxChannels) {
      ++m_result.cutCount;
      return;
    }
    const std::uint64_t hash = channelHash(channel.url, channel.name);
    if (!m_seen.insert(hash)) {
      warn(m_lineNumber, "duplicate entry skipped: " + shortened(channel.name));
      return;
    }
    channel.id = channelIdFromHash(hash);
    m_result.channels.push_back(channel);
  }

  // The later, more specific source of a header wins where it names one.
  static void mergeHeaders(StreamHeaders& into, StreamHeaders& from) {
    if (!from.userAgent.empty()) into.userAgent = std::move(from.userAgent);
    if (!from.referrer.empty()) into.referrer = std::move(from.referrer);
  }

  // field is already trimmed (parseExtInf trims every view it returns).
  std::string fieldText(std::string_view field) const {
    return m_lineHasControls ? cleanText(field) : std::string(field);
  }

  void warn(std::size_t line, const std::string& message) {
    if (m_result.warnings.size() >= kMaxWarnings) {
      ++m_suppressedWarnings;
      return;
    }
    m_result.warnings.push_back("line " + std::to_string(line) + ": " + message);
  }

  const std::size_t m_maxChannels;
  Playlist m_result;
  std::size_t m_lineNumber = 0;
  Channel m_pending;
  StreamHeaders m_pendingVlcHeaders;  // #EXTVLCOPT lines may come before or after the #EXTINF
  bool m_hasPending = false;
  std::size_t m_pendingLine = 0;
  std::string m_pendingGroupFromExtGrp;
  struct {
    std::string mode, source, days, correction;
  } m_defaultCatchup;
  std::string m_decoded;
  bool m_lineHasControls = false;
  HashSet m_seen{0};
  std::size_t m_suppressedWarnings = 0;
};

}  // namespace

Playlist parseM3u(std::string_view text, std::size_t maxChannels) {
  return Parser(maxChannels).run(text);
}

Playlist loadM3uFile(const std::string& path, std::size_t maxChannels) {
  // Only a regular file: a FIFO or a device put in the list's place would otherwise hang the
  // reader (waiting for a writer) or never end.
  std::optional<InputFile> file;
  try {
    file.emplace(InputFile::open(path));
  } catch (const FileRefused& e) {
    if (e.reason() == FileRefused::Reason::NotRegular)
      throw PlaylistError("playlist " + path + " is not a regular file");
    throw PlaylistError(std::string("cannot open playlist ") + e.what());
  }
  const auto tooLarge = [&] {
    return PlaylistError("playlist " + path + " is larger than " +
                         std::to_string(kMaxFileBytes / (1024 * 1024)) + " MB");
  };
  if (file->size() > static_cast<std::uint64_t>(kMaxFileBytes)) throw tooLarge();
  std::string content;
  content.reserve(static_cast<std::size_t>(file->size()));
  char buffer[65536];
  for (;;) {
    std::size_t got = 0;
    try {
      got = file->read(buffer, sizeof buffer);
    } catch (const FileRefused& e) {
      throw PlaylistError(std::string("cannot read playlist ") + e.what());
    }
    if (got == 0) break;
    content.append(buffer, got);
    // It may grow while it is read.
    if (static_cast<long long>(content.size()) > kMaxFileBytes) throw tooLarge();
  }
  return parseM3u(content, maxChannels);
}

}  // namespace zephra
