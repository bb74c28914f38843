// Writes a new zip archive through libzip, as a move-only RAII handle. Nothing is on disk until
// close() succeeds; a writer destroyed before that discards everything. Failures become ZipError
// with libzip's own message.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/storage/zip_archive.h"
#include "platform/listed_files.h"

namespace zephra::service {

class ZipWriter {
 public:
  // Fails when `path` exists already.
  explicit ZipWriter(const std::string& path);
  ~ZipWriter();
  ZipWriter(ZipWriter&& other) noexcept;
  ZipWriter& operator=(ZipWriter&& other) noexcept;
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // `name` is the "/"-separated entry name. The file is read only when close() runs, and then
  // only if it is still the regular file `listed` describes, with the size it had: a link, a
  // FIFO or another file put in its place, or a file that changed, fails close() with
  // FileRefused naming it.
  void addFile(const std::string& name, const std::string& sourcePath, const ListedEntry& listed);
  void addFolder(const std::string& name);  // without the trailing "/"
  void close();

 private:
  ::zip* m_zip = nullptr;
  // The first failure of a file while the archive was written, rethrown by close(); shared with
  // the sources, which libzip may free after a move of this writer.
  std::shared_ptr<std::exception_ptr> m_fileFailure = std::make_shared<std::exception_ptr>();
};

// Packs the files and folders `entries` lists, named relative to the folder `root`, into a new
// archive at `path`. Throws ZipWriter's errors (FileRefused for a file that changed).
void packListing(const std::string& path, const std::string& root, const std::vector<ListedEntry>& entries);

}  // namespace zephra::service
