// Test data as gzip files are found in the wild (links zlib).
#pragma once

#include <stdexcept>
#include <string>

#include <zlib.h>

namespace zephra::test {

// `text` as gzip, in `members` members one after another (as concatenated .gz files are).
inline std::string gzipped(const std::string& text, std::size_t members = 1) {
  std::string out;
  const std::size_t step = text.empty() ? 1 : (text.size() + members - 1) / members;
  std::size_t at = 0;
  do {
    const std::string part = text.substr(at, step);
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw std::runtime_error("deflateInit2");
    std::string packed(deflateBound(&z, static_cast<uLong>(part.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(part.data()));
    z.avail_in = static_cast<uInt>(part.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = static_cast<uInt>(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    out += packed;
    at += step;
  } while (at < text.size());
  return out;
}

}  // namespace zephra::test
