// The real browser against a real loopback server: events, element reads, nesting, bad input.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>

#include "platform/web_view.h"
#include "player_logic/link_command.h"
#include "tests/platform/web/web_test_support.h"
#include "tests/support/loopback_server.h"
#include "tests/support/wx_test_util.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

// Keeps the JavaScript thread of a page busy most of the time, so script answers come late.
const char kBusyScript[] =
    "<script>setInterval(function(){var t=Date.now();while(Date.now()-t<150){}},1);</script>";

// Values of reply elements, served by index.
const std::vector<std::string> kValues = {
    "",
    "0",
    "He said \"yes\" and 'no' \\ / & <b>not bold</b> %41 %",
    "\xC3\xBC\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80",  // üé 漢字 😀
    "  leading and trailing  ",
    "#1|http://127.0.0.1/x?a=1|b",
    std::string(200000, 'z'),
};

class WebViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& http = m_server.http();
    // Connections close after each answer, so stopping the server never waits for idle ones.
    http.set_keep_alive_max_count(1);
    http.Get("/value", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(replyPage(kValues.at(std::stoul(req.get_param_value("i")))),
                      "text/html; charset=utf-8");
    });
    http.Get("/reply", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(replyPage(req.get_param_value("v")), "text/html; charset=utf-8");
    });
    http.Get("/busy", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(page("<input id=\"retVal\" value=\"" + text::escapeHtml(req.get_param_value("v")) +
                           "\">" + kBusyScript),
                      "text/html; charset=utf-8");
    });
    // Sends the page slowly, the reply element last, so a read right at completion proves the
    // whole document was there.
    http.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider(
          "text/html; charset=utf-8", [step = 0](size_t, httplib::DataSink& sink) mutable {
            if (step == 0) {
              const std::string head = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>";
              sink.write(head.data(), head.size());
            } else if (step < 4) {
              std::this_thread::sleep_for(150ms);
              const std::string filler = "<p>" + std::string(2000, 'x') + "</p>";
              sink.write(filler.data(), filler.size());
            } else {
              const std::string tail = "<input id=\"retVal\" value=\"slow-done\"></body></html>";
              sink.write(tail.data(), tail.size());
              sink.done();
            }
            ++step;
            return true;
          });
    });
    http.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
      std::unique_lock<std::mutex> lock(m_stallMutex);
      m_stallWake.wait_for(lock, 10s, [this] { return m_stallReleased; });
      res.set_content(replyPage("stalled"), "text/html");
    });
    http.Get("/links", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(
          page("<a id=\"play\" href=\"" + fragmentCommand() + "\" style=\"position:absolute;"
               "left:20px;top:20px;width:300px;height:60px;display:block;background:#ccc\">play</a>"
               "<a id=\"fav\" href=\"#2|77\" style=\"position:absolute;left:20px;top:120px\">fav</a>"
               "<input id=\"retVal\" value=\"links\" style=\"position:absolute;top:300px\">"),
          "text/html");
    });
    http.Get("/frames", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(page("<iframe src=\"" + subFrameUrl() + "\"></iframe>"
                           "<input id=\"retVal\" value=\"outer\">"),
                      "text/html");
    });
    http.Get("/sub", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(page("<input id=\"retVal\" value=\"inner\">"), "text/html");
    });
    http.Get("/ids", [](const httplib::Request&, httplib::Response& res) {
      // Elements whose ids are hard to put into a script; values name the element.
      res.set_content(
          page("<div id=\"box\"></div><script>"
               "var ids=['a\"b','c\\\\d',\"e'f\",'<\\/script>','\\u00fc\\u6f22\\ud83d\\ude00',"
               "'g\\nh','\\u0001',''];"
               "ids.forEach(function(id,i){var e=document.createElement('input');e.id=id;"
               "e.value='v'+i;document.body.appendChild(e);});"
               "</script>"),
          "text/html");
    });
    m_server.start();
  }

  void TearDown() override {
    {
      std::lock_guard<std::mutex> lock(m_stallMutex);
      m_stallReleased = true;
    }
    m_stallWake.notify_all();
  }

  std::string base() const { return m_server.base(); }
  std::string fragmentCommand() const { return "#1|" + base() + "stream.ts?a=1&b=2"; }
  std::string subFrameUrl() const { return base() + "sub?x=1|2"; }

  LoopbackServer m_server;
  std::mutex m_stallMutex;
  std::condition_variable m_stallWake;
  bool m_stallReleased = false;
};

TEST_F(WebViewTest, NothingHappensBeforeTheFirstNavigation) {
  BrowserHost host;
  pumpFor(300ms);
  EXPECT_TRUE(host.navigations.empty());
  EXPECT_EQ(host.documentCompletes, 0);
  EXPECT_THROW(host.view->readElementValue("retVal"), WebViewError);
}

TEST_F(WebViewTest, FirstLoadReportsItsExactUrlAndIsReadableInBothCompletionHandlers) {
  BrowserHost host;
  std::string atDocument, atNavigate;
  host.view->onDocumentComplete = [&] {
    ++host.documentCompletes;
    atDocument = host.view->readElementValue("retVal");
  };
  host.view->onNavigateComplete2 = [&] {
    ++host.navigateCompletes;
    atNavigate = host.view->readElementValue("retVal");
  };
  const std::string url = base() + "reply?v=42&code=|x|";
  ASSERT_TRUE(host.load(url));
  ASSERT_FALSE(host.navigations.empty());
  EXPECT_EQ(host.navigations.front(), url);
  EXPECT_EQ(atDocument, "42");
  EXPECT_EQ(atNavigate, "42");
  EXPECT_EQ(host.navigateCompletes, 1);
}

TEST_F(WebViewTest, SlowPageIsWhollyReadableWhenCompletionIsRaised) {
  BrowserHost host;
  std::string atNavigate;
  host.view->onNavigateComplete2 = [&] { atNavigate = host.view->readElementValue("retVal"); };
  ASSERT_TRUE(host.load(base() + "slow"));
  EXPECT_EQ(atNavigate, "slow-done");
}

TEST_F(WebViewTest, ValuesComeBackExactly) {
  BrowserHost host;
  for (size_t i = 0; i < kValues.size(); ++i) {
    SCOPED_TRACE(kValues[i].substr(0, 60));
    ASSERT_TRUE(host.load(base() + "value?i=" + std::to_string(i)));
    EXPECT_EQ(host.view->readElementValue("retVal"), kValues[i]);
  }
}

TEST_F(WebViewTest, ElementIdsOfAnyContentAreLookedUpLiterally) {
  BrowserHost host;
  ASSERT_TRUE(host.load(base() + "ids"));
  const std::pair<std::string, std::string> cases[] = {
      {"a\"b", "v0"},
      {"c\\d", "v1"},
      {"e'f", "v2"},
      {"</script>", "v3"},
      {"\xC3\xBC\xE6\xBC\xA2\xF0\x9F\x98\x80", "v4"},
      {"g\nh", "v5"},
      {"\x01", "v6"},
  };
  for (const auto& [id, value] : cases) {
    SCOPED_TRACE(id);
    EXPECT_EQ(host.view->readElementValue(id), value);
  }
}

TEST_F(WebViewTest, ScriptTextInAnIdIsNeverRun) {
  BrowserHost host;
  ASSERT_TRUE(host.load(base() + "reply?v=1"));
  const std::string attacks[] = {
      "\");document.title=\"pwned\";(\"",
      "');document.title='pwned';('",
      "\\\");document.title=\"pwned\";//",
      "x\xFF\xFE\");document.title=\"pwned\";//",
      std::string("nul\0\");document.title=\"pwned\";//", 32),
  };
  for (const std::string& id : attacks) {
    EXPECT_THROW(host.view->readElementValue(id), WebViewError);
  }
  EXPECT_EQ(host.native().GetCurrentTitle(), "test");
}

TEST_F(WebViewTest, ClickedFragmentLinkReportsTheCommandWithTheBarUnencoded) {
  BrowserHost host;
  ASSERT_TRUE(host.load(base() + "links"));
  const std::string expected = base() + "links" + fragmentCommand();
  pumpFor(200ms);  // let the page be painted and hit-testable
  ASSERT_TRUE(clickAt(host.screen(100, 40), 1));
  EXPECT_TRUE(pumpUntil([&] { return host.sawNavigation(expected); }, 5s))
      << "last seen: " << (host.navigations.empty() ? "" : host.navigations.back());

  // A same-document link completes no document: consumers must not see a completion for it.
  EXPECT_EQ(host.documentCompletes, 1);

  ASSERT_TRUE(host.runScript("document.getElementById('fav').click();"));
  EXPECT_TRUE(pumpUntil([&] { return host.sawNavigation(base() + "links#2|77"); }, 5s));
}

// The near misses of a link command, written by a page and followed by the real browser, which
// hands the address over as it parsed it (a blank in the fragment comes back as "%20").
TEST_F(WebViewTest, LinkCommandsDecodeAsThePageWroteThem) {
  struct Case {
    const char* href;
    bool plays;
  };
  const Case cases[] = {{"#01|x", true}, {"# 1|x", true},  {"#$1|x", true}, {"#0x1|x", true},
                        {"#1 |x", false}, {"#3|x", false}, {"#|x", false},  {"#1x", false}};
  std::string links;
  for (size_t i = 0; i < std::size(cases); ++i)
    links += "<a id=\"l" + std::to_string(i) + "\" href=\"" + cases[i].href + "\">link</a>";
  m_server.http().Get("/near", [links](const httplib::Request&, httplib::Response& res) {
    res.set_content(page(links), "text/html; charset=utf-8");
  });
  BrowserHost host;
  ASSERT_TRUE(host.load(base() + "near"));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const size_t before = host.navigations.size();
    ASSERT_TRUE(host.runScript("document.getElementById('l" + std::to_string(i) + "').click();"));
    ASSERT_TRUE(pumpUntil([&] { return host.navigations.size() > before; }, 5s)) << cases[i].href;
    const std::optional<LinkCommand> command = decodeLinkCommand(host.navigations.back());
    const bool plays = command && command->kind == 1;
    EXPECT_EQ(plays, cases[i].plays) << cases[i].href << " arrived as " << host.navigations.back();
    if (plays) {
      EXPECT_EQ(command->value, "x") << cases[i].href;
    }
  }
}

TEST_F(WebViewTest, SubFrameLoadReportsItsUrl) {
  BrowserHost host;
  ASSERT_TRUE(host.load(base() + "frames"));
  EXPECT_TRUE(pumpUntil([&] { return host.sawNavigation(subFrameUrl()); }, 5s));
  // The top document is the one that is read, not the frame's.
  EXPECT_EQ(host.view->readElementValue("retVal"), "outer");
}

TEST_F(WebViewTest, MissingElementsAndUnreadableValuesAreErrors) {
  BrowserHost host;
  ASSERT_TRUE(host.load(base() + "ids"));
  EXPECT_THROW(host.view->readElementValue("retVal"), WebViewError);
  EXPECT_THROW(host.view->readElementValue(""), WebViewError);
  // A div has no value property.
  EXPECT_THROW(host.view->readElementValue("box"), WebViewError);
}

TEST_F(WebViewTest, BrowsersOwnErrorPageIsAnErrorAndTheBrowserStaysUsable) {
  BrowserHost host;
  const std::string down = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/reply?v=1";
  std::string readAtCompletion = "not raised";
  host.view->onDocumentComplete = [&] {
    ++host.documentCompletes;
    try {
      readAtCompletion = host.view->readElementValue("retVal");
    } catch (const WebViewError&) {
      readAtCompletion = "error";
    }
  };
  host.view->navigate(down);
  // The browser shows its own page for an address that does not answer, completed once.
  ASSERT_TRUE(pumpUntil([&] { return host.documentCompletes > 0; }, 10s));
  pumpFor(300ms);
  EXPECT_EQ(host.documentCompletes, 1);
  EXPECT_EQ(readAtCompletion, "error");
  EXPECT_TRUE(host.sawNavigation(down));
  host.view->onDocumentComplete = [&] { ++host.documentCompletes; };

  ASSERT_TRUE(host.load(base() + "reply?v=back"));
  EXPECT_EQ(host.view->readElementValue("retVal"), "back");
}

// Two loads racing at the first use of the shared web process can leave one pending for good; the
// second waits for the first, and the last address asked for is the one loaded.
TEST_F(WebViewTest, LoadsAskedForDuringTheFirstLoadFollowIt) {
  BrowserHost first, second;
  std::vector<std::string> completed;
  first.view->onDocumentComplete = [&] { completed.push_back(first.view->readElementValue("retVal")); };
  second.view->onDocumentComplete = [&] { completed.push_back(second.view->readElementValue("retVal")); };
  first.view->navigate(base() + "slow");
  second.view->navigate(base() + "reply?v=replaced");
  second.view->navigate(base() + "reply?v=second");
  ASSERT_TRUE(pumpUntil([&] { return completed.size() == 2; }, 10s));
  EXPECT_EQ(completed, (std::vector<std::string>{"slow-done", "second"}));
}

TEST_F(WebViewTest, PageThatNeverFinishesIsReplacedByTheNextNavigation) {
  BrowserHost host;
  host.view->navigate(base() + "stall");
  pumpFor(500ms);
  EXPECT_EQ(host.documentCompletes, 0);
  ASSERT_TRUE(host.load(base() + "reply?v=next"));
  EXPECT_EQ(host.view->readElementValue("retVal"), "next");
  // The abandoned load completed nothing.
  pumpFor(300ms);
  EXPECT_EQ(host.documentCompletes, 1);
}

TEST_F(WebViewTest, RefreshLoadsThePageAgain) {
  BrowserHost host;
  ASSERT_TRUE(host.load(base() + "reply?v=r"));
  const int before = host.documentCompletes;
  host.view->refresh();
  ASSERT_TRUE(pumpUntil([&] { return host.documentCompletes > before; }));
  EXPECT_EQ(host.view->readElementValue("retVal"), "r");
}

// A page whose address still carries a link command must not run it again when refreshed:
// a favorite's reply refreshes the directory, which would add the favorite again, and so on.
TEST_F(WebViewTest, RefreshDoesNotReplayTheLinkCommandInThePageAddress) {
  BrowserHost host;
  ASSERT_TRUE(host.load(base() + "reply?v=r#2|17"));
  host.navigations.clear();
  const int before = host.documentCompletes;
  host.view->refresh();
  ASSERT_TRUE(pumpUntil([&] { return host.documentCompletes > before; }));
  EXPECT_TRUE(host.navigations.empty()) << host.navigations.front();
  // The next real navigation to the very same address is reported as usual.
  ASSERT_TRUE(host.load(base() + "reply?v=s#2|17"));
  ASSERT_EQ(host.navigations.size(), 1u);
  EXPECT_EQ(host.navigations[0], base() + "reply?v=s#2|17");
}

// The outer read waits on one browser while a queued call reads the other inside that wait;
// whichever answer arrives first, each read must get its own.
TEST_F(WebViewTest, NestedReadsEachGetTheirOwnResult) {
  for (const bool outerBusy : {true, false}) {
    SCOPED_TRACE(outerBusy ? "outer page busy" : "inner page busy");
    BrowserHost outer(0, 0, 300, 200);
    BrowserHost inner(320, 0, 300, 200);
    ASSERT_TRUE(outer.load(base() + (outerBusy ? "busy" : "reply") + "?v=outer-value"));
    ASSERT_TRUE(inner.load(base() + (outerBusy ? "reply" : "busy") + "?v=inner-value"));
    std::string innerResult, innermostResult;
    wxTheApp->CallAfter([&] {
      innerResult = inner.view->readElementValue("retVal");
      wxTheApp->CallAfter([&] { innermostResult = outer.view->readElementValue("retVal"); });
    });
    EXPECT_EQ(outer.view->readElementValue("retVal"), "outer-value");
    EXPECT_TRUE(pumpUntil([&] { return !innermostResult.empty(); }, 5s));
    EXPECT_EQ(innerResult, "inner-value");
    EXPECT_EQ(innermostResult, "outer-value");
  }
}

TEST_F(WebViewTest, ReadFromAnotherBrowsersCompletionDuringAReadGetsItsOwnResult) {
  BrowserHost waiting(0, 0, 300, 200);
  BrowserHost loading(320, 0, 300, 200);
  ASSERT_TRUE(waiting.load(base() + "busy?v=waiting-value"));
  std::string fromHandler;
  loading.view->onDocumentComplete = [&] { fromHandler = loading.view->readElementValue("retVal"); };
  loading.view->navigate(base() + "reply?v=loaded-value");
  // The busy page answers late, so the other browser completes inside this read's wait.
  std::string outerResult;
  for (int i = 0; i < 20 && fromHandler.empty(); ++i)
    outerResult = waiting.view->readElementValue("retVal");
  EXPECT_EQ(outerResult, "waiting-value");
  EXPECT_EQ(fromHandler, "loaded-value");
}

TEST_F(WebViewTest, BadAddressesNeverStopTheBrowser) {
  const std::string bad[] = {
      base() + "reply?v=" + std::string(300000, 'a'),
      base() + "reply?v=\x01\xFF\xFE\x80 bin",
      std::string("\xC3\x28\xA0\xA1 not utf-8"),
      std::string("http://127.0.0.1:1/\0after-nul", 28),
      "#",
      "##||##",
      "#1|",
      "#|#|",
      "|||",
      base() + "links#1|",
      base() + "links#x|y#z|",
      "",
      "not a url at all",
  };
  BrowserHost host;
  for (const std::string& url : bad) {
    SCOPED_TRACE(url.substr(0, 60));
    host.view->navigate(url);
    pumpFor(150ms);
  }
  ASSERT_TRUE(host.load(base() + "reply?v=alive"));
  EXPECT_EQ(host.view->readElementValue("retVal"), "alive");
  // Invalid bytes travel percent-encoded instead of the whole address being lost.
  ASSERT_TRUE(host.load(base() + "reply?v=\xFF"));
  EXPECT_EQ(host.navigations.back(), base() + "reply?v=%FF");
}

// Keeps the page's script thread blocked for the given time, once.
std::string blockPageFor(int ms) {
  return "setTimeout(function(){var t=Date.now();while(Date.now()-t<" + std::to_string(ms) +
         "){}},0);";
}

TEST_F(WebViewTest, ReadOfAPageThatDoesNotAnswerTimesOutAndTheLateAnswerIsHarmless) {
  auto host = std::make_unique<BrowserHost>();
  ASSERT_TRUE(host->load(base() + "reply?v=1"));
  ASSERT_TRUE(host->runScript(blockPageFor(6500)));
  pumpFor(100ms);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(host->view->readElementValue("retVal"), WebViewError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  // Closed while that answer is still to come; it arrives later into nothing.
  host.reset();
  pumpFor(2500ms);

  BrowserHost next;
  ASSERT_TRUE(next.load(base() + "reply?v=2"));
  EXPECT_EQ(next.view->readElementValue("retVal"), "2");
}

TEST_F(WebViewTest, BrowserClosedDuringItsOwnReadEndsThatRead) {
  BrowserHost host;
  ASSERT_TRUE(host.load(base() + "reply?v=1"));
  ASSERT_TRUE(host.runScript(blockPageFor(800)));
  wxTheApp->CallAfter([&] { host.view.reset(); });
  WebView* view = host.view.get();
  EXPECT_THROW(view->readElementValue("retVal"), WebViewError);
  pumpFor(1200ms);  // the answer comes after the browser has gone
  EXPECT_EQ(host.view, nullptr);
}

}  // namespace
}  // namespace zephra::test
