#include "ui/main/main_background.h"

#ifdef ZEPHRA_HAVE_SKIN_DATA
#include "skin/embedded_background.h"
#endif

namespace zephra {

Picture mainBackgroundPicture() {
#ifdef ZEPHRA_HAVE_SKIN_DATA
  return pictureFromBmpData(kBackgroundBmp, kBackgroundBmpSize);
#else
  return Picture();
#endif
}

}  // namespace zephra
