// The player's own browser reading the service's reply pages, the way the update check reads
// them: the value of the elements "retVal" and "retTime". Needs a display (xvfb-run).
#include <gtest/gtest.h>

#include "platform/web_view.h"
#include "tests/platform/web/web_test_support.h"
#include "tests/remote_service/service_fixture.h"

namespace zephra::service {
namespace {

TEST_F(Service, ThePlayersBrowserReadsTheOfferAndTheStamp) {
  const std::string stamp = publish("#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n");
  const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/";
  test::BrowserHost host;

  ASSERT_TRUE(host.load(base + "update.php?t=0"));
  EXPECT_EQ(host.view->readElementValue("retVal"), "1");
  EXPECT_EQ(host.view->readElementValue("retTime"), stamp);

  ASSERT_TRUE(host.load(base + "update.php?t=" + stamp));
  EXPECT_EQ(host.view->readElementValue("retVal"), "0");
  EXPECT_THROW(host.view->readElementValue("retTime"), WebViewError);

  // About and Help are plain pages: they load, and carry no reply fields to misread.
  for (const std::string page : {"about-soft.php?code=a&b", "help-soft.php"}) {
    ASSERT_TRUE(host.load(base + page)) << page;
    EXPECT_THROW(host.view->readElementValue("retVal"), WebViewError) << page;
  }
}

}  // namespace
}  // namespace zephra::service
