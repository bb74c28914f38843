// The two picture sets of the play/pause button. Their off and on pictures are one file, so the
// button's own toggle never shows: PlayIsShown alone decides which offer it makes.
#pragma once

#include "ui/controls/ImageButton.h"

namespace zephra {

// The button offers Pause (the player plays or is about to).
inline void installPauseTriple(TImageButton& button) {
  button.ImageOff = "btPauseOff.bmp";
  button.ImageOn = "btPauseOff.bmp";
  button.ImageHover = "btPauseOn.bmp";
}

// The button offers Play (the player was paused or stopped).
inline void installPlayTriple(TImageButton& button) {
  button.ImageOff = "btPlayOff.bmp";
  button.ImageOn = "btPlayOff.bmp";
  button.ImageHover = "btPlayOn.bmp";
}

}  // namespace zephra
