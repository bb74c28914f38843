// gtest main for tests that need wxWidgets and a display (run under xvfb-run).
#include "platform/toolkit_sanitizer_options.h"
#include "tests/support/wx_test_main.h"

int main(int argc, char** argv) { return zephra::test::runWxTests(argc, argv); }
