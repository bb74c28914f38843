// gtest main for tests that need wxWidgets and a display (run under xvfb-run).
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include "platform/toolkit_sanitizer_options.h"

int main(int argc, char** argv) {
  // libmpv embeds into X11 window ids, and the tests drive real windows on Xvfb.
  setenv("GDK_BACKEND", "x11", 1);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string dir = "/tmp/zephra-test-runtime-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
  // Test discovery runs at build time, where there is no display: listing needs no wx.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  wxApp::SetInstance(new wxApp());
  int wxArgc = 1;
  char* wxArgv[] = {argv[0], nullptr};
  if (!wxEntryStart(wxArgc, wxArgv)) return 2;
  wxTheApp->CallOnInit();
  // A failed script or load must never open a modal log box in a headless run.
  delete wxLog::SetActiveTarget(new wxLogStderr());
  const int result = RUN_ALL_TESTS();
  wxEntryCleanup();
  return result;
}
