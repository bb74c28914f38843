#include "ui/main/main_background.h"

#include "skin/embedded_background.h"

namespace zephra {

Picture mainBackgroundPicture() {
  return pictureFromBmpData(kBackgroundBmp, kBackgroundBmpSize);
}

}  // namespace zephra
