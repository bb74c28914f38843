#include "platform/display_backend.h"

#include <cstdlib>

namespace zephra {

// The player draws into X11 windows: GTK must use its X11 backend, decided before it starts.
void chooseDisplayBackend() { setenv("GDK_BACKEND", "x11", 1); }

}  // namespace zephra
