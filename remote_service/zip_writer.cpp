#include "remote_service/zip_writer.h"

#include <cerrno>
#include <ctime>
#include <optional>
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

// A file of the content folder as libzip's source: opened, checked and read only while the
// archive is written, so at most one file is open at a time.
struct ListedFileSource {
  std::string path;
  ListedEntry listed;
  std::shared_ptr<std::exception_ptr> failure;
  std::optional<ListedFile> file;
  std::uint64_t read = 0;
  zip_error_t error{};

  void changed() const { throw FileRefused(path + ": changed while it was packed"); }

  zip_int64_t command(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_OPEN:
        file = ListedFile::open(path, listed.identity);
        if (file->size() != listed.size) changed();
        read = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        const std::size_t n = file->read(static_cast<char*>(data), static_cast<std::size_t>(length));
        read += n;
        if (read > listed.size || (n == 0 && length > 0 && read != listed.size)) changed();
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_CLOSE:
        file.reset();
        return 0;
      case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        st->size = listed.size;
        st->mtime = static_cast<time_t>(listed.modified);
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error, data, length);
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
      default:
        zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  static zip_int64_t callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto* self = static_cast<ListedFileSource*>(state);
    if (cmd == ZIP_SOURCE_FREE) {
      zip_error_fini(&self->error);
      delete self;
      return 0;
    }
    try {
      return self->command(data, length, cmd);
    } catch (...) {
      // No exception may cross libzip; close() rethrows the first one.
      if (!*self->failure) *self->failure = std::current_exception();
      zip_error_set(&self->error, ZIP_ER_READ, EIO);
      return -1;
    }
  }
};

}  // namespace

ZipWriter::ZipWriter(const std::string& path) : m_zip(openZip(path, ZIP_CREATE | ZIP_EXCL, path + ": ")) {}

ZipWriter::~ZipWriter() {
  if (m_zip) zip_discard(m_zip);
}

ZipWriter::ZipWriter(ZipWriter&& other) noexcept
    : m_zip(std::exchange(other.m_zip, nullptr)), m_fileFailure(other.m_fileFailure) {}

ZipWriter& ZipWriter::operator=(ZipWriter&& other) noexcept {
  if (this != &other) {
    if (m_zip) zip_discard(m_zip);
    m_zip = std::exchange(other.m_zip, nullptr);
    m_fileFailure = other.m_fileFailure;
  }
  return *this;
}

void ZipWriter::addFile(const std::string& name, const std::string& sourcePath,
                        const ListedEntry& listed) {
  auto* state = new ListedFileSource{sourcePath, listed, m_fileFailure, {}, 0, {}};
  zip_error_init(&state->error);
  zip_source_t* source = zip_source_function(m_zip, &ListedFileSource::callback, state);
  if (!source) {
    zip_error_fini(&state->error);
    delete state;
    fail(m_zip, sourcePath);
  }
  const zip_int64_t index = zip_file_add(m_zip, name.c_str(), source, ZIP_FL_ENC_UTF_8);
  if (index < 0) {
    zip_source_free(source);
    fail(m_zip, name);
  }
  setMode(m_zip, index, kZipUnixFile | 0644);
}

void ZipWriter::addFolder(const std::string& name) {
  const zip_int64_t index = zip_dir_add(m_zip, name.c_str(), ZIP_FL_ENC_UTF_8);
  if (index < 0) fail(m_zip, name);
  setMode(m_zip, index, kZipUnixFolder | 0755);
}

void ZipWriter::close() {
  if (zip_close(m_zip) != 0) {
    if (*m_fileFailure) std::rethrow_exception(*m_fileFailure);
    fail(m_zip, "write archive");
  }
  m_zip = nullptr;
}

void packListing(const std::string& path, const std::string& root, const std::vector<ListedEntry>& entries) {
  ZipWriter writer(path);
  for (const ListedEntry& entry : entries) {
    if (entry.kind == ListedEntry::Kind::Folder)
      writer.addFolder(entry.name);
    else
      writer.addFile(entry.name, root + "/" + entry.name, entry);
  }
  writer.close();
}

}  // namespace zephra::service
