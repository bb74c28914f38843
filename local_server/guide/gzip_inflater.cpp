#include "local_server/guide/gzip_inflater.h"

#include <zlib.h>

#include <limits>
#include <string>

#include "local_server/guide/guide_error.h"

namespace zephra::guide {

struct GzipInflater::Stream {
  z_stream z{};
  Stream() {
    // 16 + 15: a gzip header and trailer, the largest window.
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
      throw GuideError("cannot unpack the guide: zlib could not start");
  }
  ~Stream() { inflateEnd(&z); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
};

GzipInflater::GzipInflater() : m_stream(std::make_unique<Stream>()) {}
GzipInflater::~GzipInflater() = default;
GzipInflater::GzipInflater(GzipInflater&& other) noexcept = default;
GzipInflater& GzipInflater::operator=(GzipInflater&& other) noexcept = default;

GzipInflater::Step GzipInflater::inflate(const char* in, std::size_t inSize, char* out,
                                         std::size_t outSize) {
  constexpr std::size_t kMaxChunk = std::numeric_limits<uInt>::max();
  z_stream& z = m_stream->z;
  Step step;
  if (m_atMemberEnd) {
    if (inSize == 0) return step;
    // Another member follows the one that ended.
    if (inflateReset(&z) != Z_OK) throw GuideError("cannot unpack the guide: zlib failed");
    m_atMemberEnd = false;
  }
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
  z.avail_in = static_cast<uInt>(inSize < kMaxChunk ? inSize : kMaxChunk);
  z.next_out = reinterpret_cast<Bytef*>(out);
  z.avail_out = static_cast<uInt>(outSize < kMaxChunk ? outSize : kMaxChunk);
  const uInt inBefore = z.avail_in, outBefore = z.avail_out;
  const int status = ::inflate(&z, Z_NO_FLUSH);
  step.consumed = inBefore - z.avail_in;
  step.produced = outBefore - z.avail_out;
  if (status == Z_STREAM_END) {
    m_atMemberEnd = true;
  } else if (status != Z_OK && !(status == Z_BUF_ERROR && (step.consumed || step.produced))) {
    throw GuideError(std::string("the compressed guide is damaged: ") +
                     (z.msg ? z.msg : "not gzip data"));
  }
  return step;
}

}  // namespace zephra::guide
