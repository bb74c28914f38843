// Unpacks gzip data (one or more members one after another, as `cat a.gz b.gz` makes) with
// zlib, a piece at a time, so the caller sees and counts every unpacked byte.
#pragma once

#include <cstddef>
#include <memory>

namespace zephra::guide {

class GzipInflater {
 public:
  // GuideError when zlib cannot start.
  GzipInflater();
  ~GzipInflater();
  GzipInflater(GzipInflater&& other) noexcept;
  GzipInflater& operator=(GzipInflater&& other) noexcept;
  GzipInflater(const GzipInflater&) = delete;
  GzipInflater& operator=(const GzipInflater&) = delete;

  struct Step {
    std::size_t consumed = 0;  // input bytes used
    std::size_t produced = 0;  // bytes written to the output
  };
  // Unpacks from `in` into `out`. GuideError when the data is not gzip or is damaged.
  Step inflate(const char* in, std::size_t inSize, char* out, std::size_t outSize);
  // True between two members: the input may end here.
  bool atMemberEnd() const { return m_atMemberEnd; }

 private:
  struct Stream;
  std::unique_ptr<Stream> m_stream;
  bool m_atMemberEnd = false;
};

}  // namespace zephra::guide
