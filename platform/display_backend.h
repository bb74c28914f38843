// What the window toolkit must be told before it starts, so that the media player can draw into
// its windows. Per-OS implementation beside this header.
#pragma once

namespace zephra {

// Called first thing in main(), before wxWidgets (and with it the toolkit) starts.
void chooseDisplayBackend();

}  // namespace zephra
