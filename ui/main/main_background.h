// The main window's skin background, held inside the executable.
#pragma once

#include "ui/controls/picture.h"

namespace zephra {

// The 718 x 557 background, transparent by the colour of its bottom-left pixel.
// Throws PictureError when the embedded data cannot be decoded.
Picture mainBackgroundPicture();

}  // namespace zephra
