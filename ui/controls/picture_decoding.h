// Decoding skin pictures held in memory into images, without a display: the part of picture
// loading that reads outside bytes, kept apart so it can be fuzzed on its own.
#pragma once

#include <cstddef>

#include <wx/image.h>

namespace zephra {

// A BMP file's bytes. Throws std::runtime_error ("truncated BMP file", "corrupt BMP header
// (bad size)", ...) for anything that is not a whole, plausible BMP. Needs wxImage's BMP
// handler (installed with the toolkit, or by addBmpHandler()).
wxImage decodeBmpImage(const unsigned char* data, std::size_t size);

// A JPEG file's bytes, opaque. Throws std::runtime_error ("corrupt JPEG file (...)") with
// libjpeg's own message.
wxImage decodeJpegImage(const unsigned char* data, std::size_t size);

// Installs wxImage's BMP handler where the toolkit was not started (the fuzz target).
void addBmpHandler();

}  // namespace zephra
