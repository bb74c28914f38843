// The window background, held inside the executable (generated from skin/background.bmp).
#pragma once

#include <cstddef>

namespace zephra {
extern const unsigned char kBackgroundBmp[];
extern const size_t kBackgroundBmpSize;
}  // namespace zephra
