// A streaming XMLTV reader on libxml2's xmlTextReader: channels and programmes are handed out one
// at a time as the file is read, so a large guide never sits whole in memory. The bytes come
// through a GuideInput (gzip told by the content and unpacked there, size, time and markup
// limits). No network access, no external entities, no DTD loading, no entity declarations.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "local_server/guide/guide_error.h"
#include "local_server/guide/guide_input.h"

namespace zephra::guide {

struct XmltvChannel {
  std::string id;
  std::vector<std::string> displayNames;
};

struct XmltvProgramme {
  std::string channel;
  std::int64_t start = 0;              // UTC seconds
  std::optional<std::int64_t> stop;    // none when the guide gives no (valid) stop
  std::string title, subTitle, description, category, icon, episode;
};

class XmltvReader {
 public:
  using ChannelHandler = std::function<void(XmltvChannel&)>;
  using ProgrammeHandler = std::function<void(XmltvProgramme&)>;

  // GuideError when the file cannot be opened.
  static XmltvReader openFile(const std::string& path, const GuideReadLimits& limits = {});
  // The bytes must outlive the reader.
  static XmltvReader openMemory(const char* data, std::size_t size,
                                const GuideReadLimits& limits = {});

  ~XmltvReader();
  XmltvReader(XmltvReader&& other) noexcept;
  XmltvReader& operator=(XmltvReader&& other) noexcept;
  XmltvReader(const XmltvReader&) = delete;
  XmltvReader& operator=(const XmltvReader&) = delete;

  // Reads the whole document, calling the handlers in document order. Throws GuideError when the
  // document is not well-formed XML (a broken or truncated file), its root is not <tv> or it
  // breaks one of the limits (then the message names the limit); what the
  // handlers received before then must be thrown away by the caller. Programmes without a channel,
  // title or valid start, and those of zero length, are skipped and counted.
  void read(const ChannelHandler& onChannel, const ProgrammeHandler& onProgramme);
  std::size_t skippedProgrammes() const { return m_skipped; }

  // Longest text kept per field; longer values are cut at a character boundary.
  static constexpr std::size_t kMaxTitle = 512;
  static constexpr std::size_t kMaxDescription = 8192;

 private:
  struct State;
  explicit XmltvReader(std::unique_ptr<State> state);
  static XmltvReader open(std::unique_ptr<GuideInput> input);
  std::unique_ptr<State> m_state;
  std::size_t m_skipped = 0;
};

}  // namespace zephra::guide
