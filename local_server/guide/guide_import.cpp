#include "local_server/guide/guide_import.h"

namespace zephra::guide {

namespace {
// A guide a hundred times larger than a big real one is no guide; stop before the disk fills.
constexpr std::size_t kMaxProgrammes = 20'000'000;
}  // namespace

ImportResult importGuideFile(GuideStore& store, const std::string& sourceKey,
                             const std::string& path) {
  XmltvReader reader = XmltvReader::openFile(path);
  std::size_t seen = 0;
  try {
    return store.replaceSource(sourceKey, [&](GuideStore::SourceWriter& writer) {
      reader.read([&](XmltvChannel& channel) { writer.addChannel(channel); },
                  [&](XmltvProgramme& programme) {
                    if (++seen > kMaxProgrammes)
                      throw GuideError("the guide has more than 20,000,000 programmes");
                    writer.addProgramme(programme);
                  });
    });
  } catch (const SqliteError& e) {
    throw GuideError(std::string("the guide could not be stored: ") + e.what());
  }
}

void removeGuideSource(GuideStore& store, const std::string& sourceKey) {
  store.removeSource(sourceKey);
}

}  // namespace zephra::guide
