#include "remote_service/zip_writer.h"

#include <sys/stat.h>

#include <utility>

#include <zip.h>

namespace zephra::service {

namespace {

[[noreturn]] void fail(zip_t* archive, const std::string& what) {
  throw ZipError(what + ": " + zip_strerror(archive));
}

// Unix modes, so the installer's check sees plain files and folders for what they are.
void setMode(zip_t* archive, zip_int64_t index, unsigned mode) {
  if (zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0,
                                       ZIP_OPSYS_UNIX, static_cast<zip_uint32_t>(mode) << 16) != 0)
    fail(archive, "set attributes");
}

}  // namespace

ZipWriter::ZipWriter(const std::string& path) {
  int error = 0;
  m_zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_EXCL, &error);
  if (!m_zip) {
    zip_error_t details;
    zip_error_init_with_code(&details, error);
    const std::string message = zip_error_strerror(&details);
    zip_error_fini(&details);
    throw ZipError(path + ": " + message);
  }
}

ZipWriter::~ZipWriter() {
  if (m_zip) zip_discard(m_zip);
}

ZipWriter::ZipWriter(ZipWriter&& other) noexcept : m_zip(std::exchange(other.m_zip, nullptr)) {}

ZipWriter& ZipWriter::operator=(ZipWriter&& other) noexcept {
  if (this != &other) {
    if (m_zip) zip_discard(m_zip);
    m_zip = std::exchange(other.m_zip, nullptr);
  }
  return *this;
}

void ZipWriter::addFile(const std::string& name, const std::string& sourcePath) {
  zip_source_t* source = zip_source_file(m_zip, sourcePath.c_str(), 0, -1);
  if (!source) fail(m_zip, sourcePath);
  const zip_int64_t index = zip_file_add(m_zip, name.c_str(), source, ZIP_FL_ENC_UTF_8);
  if (index < 0) {
    zip_source_free(source);
    fail(m_zip, name);
  }
  setMode(m_zip, index, S_IFREG | 0644);
}

void ZipWriter::addFolder(const std::string& name) {
  const zip_int64_t index = zip_dir_add(m_zip, name.c_str(), ZIP_FL_ENC_UTF_8);
  if (index < 0) fail(m_zip, name);
  setMode(m_zip, index, S_IFDIR | 0755);
}

void ZipWriter::close() {
  if (zip_close(m_zip) != 0) fail(m_zip, "write archive");
  m_zip = nullptr;
}

}  // namespace zephra::service
