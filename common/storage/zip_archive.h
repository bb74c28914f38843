// Read-only access to a zip archive through libzip, as a move-only RAII handle. Failures become
// ZipError with libzip's own message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

struct zip;

namespace zephra {

class ZipError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The Unix file types an archive made on Unix keeps in the top bits of its entries' modes
// (external attributes >> 16). Part of the zip format, whatever system reads it.
inline constexpr std::uint32_t kZipUnixTypeMask = 0170000;
inline constexpr std::uint32_t kZipUnixFolder = 0040000;
inline constexpr std::uint32_t kZipUnixFile = 0100000;
// zip_open() of `path` with libzip's `flags`, for reading or writing; throws ZipError with
// libzip's reason after `prefix`.
::zip* openZip(const std::string& path, int flags, const std::string& prefix = {});

struct ZipEntryInfo {
  std::string name;
  std::uint64_t size = 0;            // uncompressed, as declared by the archive
  std::uint64_t compressedSize = 0;
  std::uint32_t crc = 0;             // CRC-32 of the uncompressed data, as declared
  bool encrypted = false;
  std::uint8_t hostSystem = 0;       // "version made by" host (3 = Unix)
  std::uint32_t externalAttributes = 0;
};

class ZipArchive {
 public:
  // Opens with libzip's strict consistency checks, so a truncated or patched archive is refused
  // here instead of half-way through an install.
  explicit ZipArchive(const std::string& path);
  ~ZipArchive();
  ZipArchive(ZipArchive&& other) noexcept;
  ZipArchive& operator=(ZipArchive&& other) noexcept;
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  std::size_t entryCount() const;
  ZipEntryInfo entry(std::size_t index) const;

  // Streams the entry's uncompressed bytes to `sink` in chunks. The sink returns false to stop
  // early. Corrupt data (bad CRC, broken deflate stream) raises ZipError.
  void read(std::size_t index, const std::function<bool(const char*, std::size_t)>& sink) const;

 private:
  ::zip* m_zip = nullptr;
};

}  // namespace zephra
