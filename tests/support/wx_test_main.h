// main() of a gtest program that needs wxWidgets and a display (run under xvfb-run), with `App`
// as its application object.
#pragma once

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/wx_session.h"

namespace zephra::test {

template <class App = wxApp>
int runWxTests(int argc, char** argv) {
  // libmpv embeds into X11 window ids, and the tests drive real windows on Xvfb.
  setenv("GDK_BACKEND", "x11", 1);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    const std::string dir = "/tmp/zephra-test-runtime-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
  // Test discovery runs at build time, where there is no display: listing needs no wx.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  WxSession session(new App(), argv[0]);
  if (!session.started()) return 2;
  return RUN_ALL_TESTS();
}

}  // namespace zephra::test
