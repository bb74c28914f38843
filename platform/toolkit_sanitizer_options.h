// Included once by the main() of each program that hosts GTK, WebKitGTK or libmpv: the player
// and the test programs that run windows.
//
// In the sanitizer build they run without leak reports: fontconfig, GTK, WebKitGTK's
// UI process (JavaScriptCore) and libmpv keep caches and one-time allocations alive until exit
// by design, thousands of them, and suppressing them by library name would also hide our own
// leaks that allocate through those libraries. Use-after-free, overflows and undefined
// behaviour are still reported; the window-free test programs and the fuzz targets keep leak
// detection.
#pragma once

extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
