// Builds zip archives for the installer tests, including the hostile kinds a real tool would
// refuse to make (escaping names, link entries, lying headers).
#pragma once

#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <zip.h>

namespace zephra::test {

class ZipBuilder {
 public:
  explicit ZipBuilder(const std::filesystem::path& path) {
    std::filesystem::create_directories(path.parent_path());
    int error = 0;
    m_zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!m_zip) throw std::runtime_error("zip_open failed: " + std::to_string(error));
  }
  ~ZipBuilder() {
    if (m_zip) zip_discard(m_zip);
  }
  ZipBuilder(const ZipBuilder&) = delete;
  ZipBuilder& operator=(const ZipBuilder&) = delete;

  ZipBuilder& file(const std::string& name, const std::string& content, bool store = false) {
    const zip_int64_t index = addData(name, content);
    zip_set_file_compression(m_zip, index, store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    setMode(index, S_IFREG | 0644);
    return *this;
  }
  ZipBuilder& folder(const std::string& name) {
    const zip_int64_t index = zip_dir_add(m_zip, name.c_str(), ZIP_FL_ENC_UTF_8);
    if (index < 0) throw std::runtime_error(zip_strerror(m_zip));
    setMode(index, S_IFDIR | 0755);
    return *this;
  }
  // An entry whose Unix mode says symbolic link (or another special type); the data is the
  // link target, as zip tools store it.
  ZipBuilder& special(const std::string& name, const std::string& data, unsigned mode) {
    setMode(addData(name, data), mode);
    return *this;
  }
  void close() {
    if (zip_close(m_zip) != 0) throw std::runtime_error(zip_strerror(m_zip));
    m_zip = nullptr;
  }

 private:
  zip_int64_t addData(const std::string& name, const std::string& content) {
    m_data.push_back(content);  // must live until zip_close
    zip_source_t* source = zip_source_buffer(m_zip, m_data.back().data(), m_data.back().size(), 0);
    if (!source) throw std::runtime_error(zip_strerror(m_zip));
    const zip_int64_t index = zip_file_add(m_zip, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(source);
      throw std::runtime_error(zip_strerror(m_zip));
    }
    return index;
  }
  void setMode(zip_int64_t index, unsigned mode) {
    zip_file_set_external_attributes(m_zip, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                     static_cast<zip_uint32_t>(mode) << 16);
  }

  zip_t* m_zip = nullptr;
  std::deque<std::string> m_data;
};

}  // namespace zephra::test
