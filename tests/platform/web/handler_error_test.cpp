// An error thrown by a browser handler reaches the application's handler of errors that escape
// event handlers, and the browser goes on working. Runs with its own application object, the
// way the program installs its "drop every such error" policy.
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include "platform/web_view.h"
#include "tests/platform/web/web_test_support.h"
#include "tests/support/loopback_server.h"
#include "tests/support/wx_test_main.h"
#include "tests/support/wx_test_util.h"
#include "platform/toolkit_sanitizer_options.h"

namespace {

int g_escapedErrors = 0;

class DroppingApp : public wxApp {
 public:
  bool OnExceptionInMainLoop() override {
    try {
      throw;
    } catch (const std::exception&) {
      ++g_escapedErrors;
    }
    return true;  // go on
  }
};

}  // namespace

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

TEST(HandlerErrorTest, ThrowingHandlersReachTheApplicationAndTheBrowserGoesOn) {
  LoopbackServer server;
  server.http().set_keep_alive_max_count(1);  // stopping never waits for idle connections
  server.http().Get("/reply", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(replyPage(req.get_param_value("v")), "text/html");
  });
  server.start();
  BrowserHost host;
  int beforeNavigate = 0, documentComplete = 0, navigateComplete = 0;
  host.view->onBeforeNavigate2 = [&](const std::string&) {
    ++beforeNavigate;
    throw std::runtime_error("from BeforeNavigate2");
  };
  host.view->onDocumentComplete = [&] {
    ++documentComplete;
    host.view->readElementValue("absent");  // throws WebViewError
  };
  host.view->onNavigateComplete2 = [&] {
    ++navigateComplete;
    throw std::runtime_error("from NavigateComplete2");
  };
  for (int round = 1; round <= 2; ++round) {
    host.view->navigate(server.base() + "reply?v=" + std::to_string(round));
    ASSERT_TRUE(pumpUntil([&] { return navigateComplete == round; }, 10s));
  }
  EXPECT_EQ(beforeNavigate, 2);
  EXPECT_EQ(documentComplete, 2);
  EXPECT_EQ(g_escapedErrors, 6);
  EXPECT_EQ(host.view->readElementValue("retVal"), "2");
}

}  // namespace
}  // namespace zephra::test

int main(int argc, char** argv) { return zephra::test::runWxTests<DroppingApp>(argc, argv); }
