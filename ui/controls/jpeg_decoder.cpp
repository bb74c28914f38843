#include "ui/controls/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
// jerror.h needs jpeglib.h before it.
#include <jerror.h>

namespace zephra {

// Everything libjpeg's callbacks and the jump target touch lives here, on the heap, so that
// nothing with a destructor sits between setjmp and longjmp.
struct JpegDecoder::State {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  std::vector<uint8_t> pixels;
  int width = 0;
  int height = 0;
};

namespace {

JpegDecoder::State* stateOf(j_common_ptr cinfo) {
  return static_cast<JpegDecoder::State*>(cinfo->client_data);
}

[[noreturn]] void failWithMessage(j_common_ptr cinfo) {
  JpegDecoder::State* state = stateOf(cinfo);
  (*cinfo->err->format_message)(cinfo, state->message);
  std::longjmp(state->jump, 1);
}

// libjpeg's default would print the message and call exit().
void errorExit(j_common_ptr cinfo) { failWithMessage(cinfo); }

// A file that ends early is only a warning to libjpeg (it pads the picture with grey); a picture
// cut short is a broken picture here. Other warnings are tolerated and never printed.
void emitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) failWithMessage(cinfo);
  if (level < 0) ++cinfo->err->num_warnings;
}

void outputMessage(j_common_ptr) {}

}  // namespace

JpegDecoder::JpegDecoder() : m_state(new State()) {
  State& s = *m_state;
  s.cinfo.err = jpeg_std_error(&s.errors);
  s.errors.error_exit = errorExit;
  s.errors.emit_message = emitMessage;
  s.errors.output_message = outputMessage;
  s.cinfo.client_data = &s;
  // jpeg_create_decompress only fails for a library/header version mismatch or out of memory.
  if (setjmp(s.jump)) {
    const std::string message = s.message;
    jpeg_destroy_decompress(&s.cinfo);
    m_state.reset();
    throw JpegError(message);
  }
  jpeg_create_decompress(&s.cinfo);
}

JpegDecoder::~JpegDecoder() {
  if (m_state) jpeg_destroy_decompress(&m_state->cinfo);
}

JpegDecoder::JpegDecoder(JpegDecoder&&) noexcept = default;

JpegDecoder& JpegDecoder::operator=(JpegDecoder&& other) noexcept {
  if (this != &other) {
    if (m_state) jpeg_destroy_decompress(&m_state->cinfo);
    m_state = std::move(other.m_state);
  }
  return *this;
}

DecodedJpeg JpegDecoder::decode(const unsigned char* data, size_t size) {
  if (!m_state) throw JpegError("decoder was moved from");
  State& s = *m_state;
  if (size == 0 || data == nullptr) throw JpegError("Empty input file");
  s.pixels.clear();
  s.width = s.height = 0;

  if (setjmp(s.jump)) {
    // jpeg_abort returns the object to its idle state so the decoder can be used again.
    jpeg_abort_decompress(&s.cinfo);
    s.pixels.clear();
    throw JpegError(s.message);
  }

  jpeg_mem_src(&s.cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&s.cinfo, TRUE);
  if (s.cinfo.image_width > static_cast<JDIMENSION>(kMaxSide) ||
      s.cinfo.image_height > static_cast<JDIMENSION>(kMaxSide)) {
    std::snprintf(s.message, sizeof s.message, "Picture too large (%ux%u)", s.cinfo.image_width,
                  s.cinfo.image_height);
    jpeg_abort_decompress(&s.cinfo);
    throw JpegError(s.message);
  }
  s.cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&s.cinfo);

  s.width = static_cast<int>(s.cinfo.output_width);
  s.height = static_cast<int>(s.cinfo.output_height);
  const size_t stride = static_cast<size_t>(s.width) * 3;
  try {
    s.pixels.resize(stride * static_cast<size_t>(s.height));
  } catch (...) {
    jpeg_abort_decompress(&s.cinfo);
    throw;
  }
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    JSAMPROW row = s.pixels.data() + stride * s.cinfo.output_scanline;
    jpeg_read_scanlines(&s.cinfo, &row, 1);
  }
  jpeg_finish_decompress(&s.cinfo);

  DecodedJpeg result;
  result.width = s.width;
  result.height = s.height;
  result.rgb.swap(s.pixels);
  return result;
}

}  // namespace zephra
