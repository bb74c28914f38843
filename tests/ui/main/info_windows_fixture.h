// The main window over the loopback remote service (whose update check finds nothing new), and
// the About and Help windows a test makes: deleted, and their deletion handled, before the main
// window goes.
#pragma once

#include <chrono>

#include "tests/support/wx_test_util.h"
#include "tests/ui/main/main_window_doubles.h"
#include "tests/ui/main/remote_service_double.h"
#include "ui/dialogs/uAbout.h"
#include "ui/dialogs/uHelp.h"

namespace zephra::test {

class InfoWindowsFixture : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    doubles.remoteBase = remote.base();
    remote.setReply("<html><body><input id=\"retVal\" value=\"0\"></body></html>");  // nothing new
  }
  void TearDown() override {
    delete frmAbout;
    frmAbout = nullptr;
    delete frmHelp;
    frmHelp = nullptr;
    pumpFor(std::chrono::milliseconds(20));
    MainWindowTest::TearDown();
  }

  RemoteServiceDouble remote;
};

}  // namespace zephra::test
