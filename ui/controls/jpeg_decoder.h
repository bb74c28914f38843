// A libjpeg decompressor owned by one object. libjpeg reports fatal errors through a callback
// that must not return; ours jumps back into decode() and the failure leaves as JpegError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zephra {

class JpegError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct DecodedJpeg {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3 bytes, rows top first
};

class JpegDecoder {
 public:
  JpegDecoder();
  ~JpegDecoder();
  JpegDecoder(JpegDecoder&&) noexcept;
  JpegDecoder& operator=(JpegDecoder&&) noexcept;
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Decodes a whole JPEG held in memory to RGB. Throws JpegError with libjpeg's own message for
  // corrupt, truncated or unsupported data. The decoder can be used again afterwards.
  DecodedJpeg decode(const unsigned char* data, size_t size);

  // Pictures larger than this on either side are refused before any pixel memory is taken.
  static constexpr int kMaxSide = 16384;

  struct State;  // opaque; public only so libjpeg's callbacks can name it

 private:
  std::unique_ptr<State> m_state;
};

}  // namespace zephra
