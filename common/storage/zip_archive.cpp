#include "common/storage/zip_archive.h"

#include <utility>
#include <vector>

#include <zip.h>

namespace zephra {

namespace {

std::string archiveMessage(zip_t* za) { return zip_error_strerror(zip_get_error(za)); }

// Closes an entry handle on every path out of read().
struct EntryHandle {
  zip_file_t* file;
  ~EntryHandle() {
    if (file) zip_fclose(file);
  }
};

}  // namespace

::zip* openZip(const std::string& path, int flags, const std::string& prefix) {
  int code = 0;
  ::zip* opened = zip_open(path.c_str(), flags, &code);
  if (!opened) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    throw ZipError(prefix + text);
  }
  return opened;
}

ZipArchive::ZipArchive(const std::string& path) : m_zip(openZip(path, ZIP_RDONLY | ZIP_CHECKCONS)) {}

ZipArchive::~ZipArchive() {
  if (m_zip) zip_discard(m_zip);  // read-only: nothing to write back
}

ZipArchive::ZipArchive(ZipArchive&& other) noexcept : m_zip(std::exchange(other.m_zip, nullptr)) {}

ZipArchive& ZipArchive::operator=(ZipArchive&& other) noexcept {
  if (this != &other) {
    if (m_zip) zip_discard(m_zip);
    m_zip = std::exchange(other.m_zip, nullptr);
  }
  return *this;
}

std::size_t ZipArchive::entryCount() const {
  const zip_int64_t count = zip_get_num_entries(m_zip, 0);
  if (count < 0) throw ZipError(archiveMessage(m_zip));
  return static_cast<std::size_t>(count);
}

ZipEntryInfo ZipArchive::entry(std::size_t index) const {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(m_zip, index, 0, &st) != 0) throw ZipError(archiveMessage(m_zip));
  ZipEntryInfo info;
  if (st.valid & ZIP_STAT_NAME) info.name = st.name;
  if (st.valid & ZIP_STAT_SIZE) info.size = st.size;
  if (st.valid & ZIP_STAT_COMP_SIZE) info.compressedSize = st.comp_size;
  if (st.valid & ZIP_STAT_CRC) info.crc = st.crc;
  if (st.valid & ZIP_STAT_ENCRYPTION_METHOD) info.encrypted = st.encryption_method != ZIP_EM_NONE;
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(m_zip, index, 0, &opsys, &attributes) != 0)
    throw ZipError(archiveMessage(m_zip));
  info.hostSystem = opsys;
  info.externalAttributes = attributes;
  return info;
}

void ZipArchive::read(std::size_t index,
                      const std::function<bool(const char*, std::size_t)>& sink) const {
  EntryHandle handle{zip_fopen_index(m_zip, index, 0)};
  if (!handle.file) throw ZipError(archiveMessage(m_zip));
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    const zip_int64_t n = zip_fread(handle.file, buffer.data(), buffer.size());
    if (n < 0) throw ZipError(zip_file_strerror(handle.file));
    if (n == 0) return;
    if (!sink(buffer.data(), static_cast<std::size_t>(n))) return;
  }
}

}  // namespace zephra
