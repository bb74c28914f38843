#include "local_server/guide/guide_import.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/disk_space.h"

namespace zephra::guide {

namespace {

std::string megabytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// What the import may write: about the guide's own size (programmes and the journal beside
// them); a gzip guide unpacks to about eight times its size.
std::uint64_t expectedWrite(const std::string& path, const ImportLimits& limits) {
  std::error_code ec;
  const std::uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) return 0;
  char magic[2] = {};
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    const bool gzip = std::fread(magic, 1, 2, f) == 2 && magic[0] == '\x1f' && magic[1] == '\x8b';
    std::fclose(f);
    if (gzip) return std::min(size * 8, limits.read.maxBytes);
  }
  return size;
}

class DiskWatch {
 public:
  DiskWatch(std::string folder, std::uint64_t keepFree)
      : m_folder(std::move(folder)), m_keepFree(keepFree) {}
  void require(std::uint64_t more) const {
    const auto free = freeDiskSpace(m_folder);
    if (free && *free < m_keepFree + more)
      throw GuideError("not enough free disk space for the guide: " + megabytes(*free) +
                       " free, about " + megabytes(m_keepFree + more) + " needed");
  }

 private:
  std::string m_folder;
  std::uint64_t m_keepFree;
};

}  // namespace

ImportResult importGuideFile(GuideStore& store, const std::string& sourceKey,
                             const std::string& path, ImportLimits limits) {
  if (!limits.read.stop) limits.read.stop = &store.importsStopped();
  const DiskWatch disk(std::filesystem::path(store.path()).parent_path().string(), limits.keepFree);
  XmltvReader reader = XmltvReader::openFile(path, limits.read);
  disk.require(expectedWrite(path, limits));
  std::uint64_t seen = 0;
  // However the import ends, its journal is given back: a failed one's pages would stay.
  struct JournalCut {
    GuideStore& store;
    ~JournalCut() { store.truncateJournal(); }
  } cut{store};
  try {
    return store.replaceSource(sourceKey, [&](GuideStore::SourceWriter& writer) {
      reader.read([&](XmltvChannel& channel) { writer.addChannel(channel); },
                  [&](XmltvProgramme& programme) {
                    if (++seen > limits.maxProgrammes)
                      throw GuideError("the guide has more than " +
                                       std::to_string(limits.maxProgrammes) + " programmes");
                    // Another program may be filling the disk meanwhile.
                    if (seen % 4096 == 0) disk.require(0);
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
