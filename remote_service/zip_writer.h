// Writes a new zip archive through libzip, as a move-only RAII handle. Nothing is on disk until
// close() succeeds; a writer destroyed before that discards everything. Failures become ZipError
// with libzip's own message.
#pragma once

#include <string>

#include "common/storage/zip_archive.h"

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

  // `name` is the "/"-separated entry name; the file is read when close() runs.
  void addFile(const std::string& name, const std::string& sourcePath);
  void addFolder(const std::string& name);  // without the trailing "/"
  void close();

 private:
  ::zip* m_zip = nullptr;
};

}  // namespace zephra::service
