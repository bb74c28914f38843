// The Range header of a file request (RFC 9110, one "bytes" range).
#pragma once

#include <cstdint>
#include <string_view>

namespace zephra::http {

struct ByteRange {
  enum class Kind {
    Whole,          // no usable Range: send the whole file with 200
    Partial,        // send [first, last] with 206
    Unsatisfiable,  // nothing of the file is in the range: 416
  };
  Kind kind = Kind::Whole;
  std::uint64_t first = 0;
  std::uint64_t last = 0;  // inclusive
};

// `header` is the Range value ("bytes=0-99", "bytes=500-", "bytes=-200"), `size` the file's.
// Ranges that cannot be read (another unit, several ranges, garbage) are ignored, as the
// standard allows; a well-formed range starting at or past the end is unsatisfiable.
ByteRange parseByteRange(std::string_view header, std::uint64_t size);

}  // namespace zephra::http
