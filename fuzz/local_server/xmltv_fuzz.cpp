// The XMLTV reader and time parser on arbitrary bytes: no crash, no unbounded field, and every
// programme handed out has a channel, a title and a stop after its start. The limits are small
// so that short inputs reach them (gzip bombs, long tags, many attributes) and each run is quick.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "local_server/guide/xmltv_reader.h"
#include "local_server/guide/xmltv_time.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zephra::guide;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)parseXmltvTime(text.substr(0, 64));
  try {
    GuideReadLimits limits;
    limits.maxBytes = 1 << 20;
    limits.maxTagBytes = 4096;
    limits.maxAttributes = 32;
    XmltvReader reader = XmltvReader::openMemory(text.data(), text.size(), limits);
    reader.read(
        [](XmltvChannel& channel) {
          if (channel.id.empty()) std::abort();
        },
        [](XmltvProgramme& p) {
          if (p.channel.empty() || p.title.empty() || p.title.size() > XmltvReader::kMaxTitle ||
              p.description.size() > XmltvReader::kMaxDescription ||
              (p.stop && *p.stop <= p.start))
            std::abort();
        });
  } catch (const GuideError&) {
  }
  return 0;
}
