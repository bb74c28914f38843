// The page cookie in the real web view: the player's own requests, built and sent the way the
// player sends them (a hidden browser for valid.php, the Updates window's browser, which showed
// a page of the remote service before, for locup.php), still change favorites and install
// updates, while pages of other sites reaching for the same addresses change nothing.
#include <gtest/gtest.h>

#include "player_logic/service_addresses.h"
#include "tests/platform/web/web_test_support.h"
#include "tests/local_server/server_test_support.h"
#include "tests/local_server/zip_builder.h"
#include "tests/support/loopback_server.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

const std::string kPlaylist = "#EXTM3U\n" + entry("Alpha", "http://s.example/alpha.ts") +
                              entry("Beta", "http://s.example/beta.ts") +
                              entry("Gamma", "http://s.example/gamma.ts");

std::string idOf(ServerFixture& server, const std::string& url) {
  const std::string page = server.body("/query.php?code=&fav=0");
  const auto urls = hrefsOf(page, "play");
  const auto ids = hrefsOf(page, "fav");
  for (std::size_t i = 0; i < urls.size() && i < ids.size(); ++i)
    if (urls[i] == "#1|" + url) return ids[i].substr(3);
  throw std::runtime_error("no channel " + url);
}

std::vector<std::string> favorites(ServerFixture& server, const std::string& account) {
  std::vector<std::string> urls;
  for (const std::string& link : hrefsOf(server.body("/favmanage.php?user=" + account), "play"))
    urls.push_back(link.substr(3));
  return urls;
}

std::string secretOf(ServerFixture& server) {
  const std::string cookie = server.cookie();
  return cookie.substr(cookie.find('=') + 1);
}

TEST(PageCookieInTheWebView, PlayerRequestsPassAndForeignPagesAreRefused) {
  ServerFixture server(kPlaylist);
  const std::string local = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
  const std::string alpha = idOf(server, "http://s.example/alpha.ts");
  const std::string beta = idOf(server, "http://s.example/beta.ts");
  const std::string gamma = idOf(server, "http://s.example/gamma.ts");

  // A web site with pages that fire at the local server: sub-resources, and a top-level
  // navigation. Served once as another site ("localhost") and once as another web app on the
  // same address (127.0.0.1, another port), which counts as the same site for cookies.
  LoopbackServer site;
  const std::string attacks =
      "<img src=\"" + local + "valid.php?cmd=addFav&code=w&method=ID&value=" + gamma + "\">" +
      "<img src=\"" + local + "favmanage.php?user=w&remove=" + alpha + "\">" +
      "<img src=\"" + local + "locup.php\">";
  site.http().Get("/remote.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(page("<p>update notes</p>"), "text/html");
  });
  site.http().Get("/evil.html", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(page(attacks), "text/html");
  });
  site.http().Get("/jump.html", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(page("<script>location.href='" + local + "favmanage.php?user=w&remove=" +
                         alpha + "';</script>"),
                    "text/html");
  });
  site.start();
  const std::string siteBases[] = {"http://localhost:" + std::to_string(site.port()) + "/",
                                   site.base()};

  // The player: it puts the secret into its browsers' cookie store itself.
  BrowserHost app;
  app.view->setLocalCookie(kPageCookieName, secretOf(server), "127.0.0.1");
  ASSERT_TRUE(app.load(channelDirectoryUrl(local, "w", "0")));
  BrowserHost query(0, 500, 200, 100);
  for (const std::string& id : {alpha, beta}) {
    ASSERT_TRUE(query.load(addFavoriteByIdUrl(local, "w", id)));
    EXPECT_EQ(query.view->readElementValue("retVal"), "1");
  }
  ASSERT_TRUE(query.load(addFavoriteByUrlUrl(local, "u", "http://s.example/gamma.ts")));
  EXPECT_EQ(query.view->readElementValue("retVal"), "1");
  EXPECT_EQ(favorites(server, "u"), std::vector<std::string>{"http://s.example/gamma.ts"});
  const std::vector<std::string> both{"http://s.example/alpha.ts", "http://s.example/beta.ts"};
  ASSERT_EQ(favorites(server, "w"), both);

  // Pages of other sites, with the cookie in the browsers' jar all along.
  ZipBuilder(server.docRoot() / "update" / "update.zip")
      .file("channels.m3u", "#EXTM3U\n" + entry("Updated", "http://n.example/1"))
      .close();
  BrowserHost foreign(660, 0, 320, 240);
  for (const std::string& base : siteBases) {
    SCOPED_TRACE(base);
    ASSERT_TRUE(foreign.load(base + "evil.html"));
    const int before = foreign.documentCompletes;
    ASSERT_TRUE(foreign.load(base + "jump.html"));
    // The jump's own page completes first; then the page it navigates to.
    EXPECT_TRUE(pumpUntil([&] { return foreign.documentCompletes >= before + 2; }, 10s));
    EXPECT_EQ(favorites(server, "w"), both);
    EXPECT_TRUE(fs::exists(server.docRoot() / "update" / "update.zip"));
  }

  // The Updates window: a page of the remote service first, then the install request.
  BrowserHost info(0, 620, 320, 200);
  ASSERT_TRUE(info.load(siteBases[0] + "remote.html"));
  ASSERT_TRUE(info.load(localUpdateInstallUrl(local)));
  EXPECT_FALSE(fs::exists(server.docRoot() / "update" / "update.zip"));
  EXPECT_NE(server.body("/query.php?code=&fav=0").find("Updated"), std::string::npos);

  // A click in our own favorites page removes, as before.
  ASSERT_TRUE(app.load(favoritesManagerUrl(local, "w")));
  ASSERT_TRUE(app.runScript("document.querySelector('a.remove').click();"));
  EXPECT_TRUE(pumpUntil([&] { return favorites(server, "w").size() == 1; }, 10s));
  EXPECT_EQ(favorites(server, "w"), std::vector<std::string>{both[1]});
}

// Our own pages' pictures, scripts, styles, frames and fetches never change anything, even with
// the cookie, our origin and the right form token: a playlist's logos, or a page an update
// brought, shown in the real web view. The user's own form and the player's request still work.
TEST(PageCookieInTheWebView, SubResourcesOfOurOwnPagesChangeNothing) {
  const std::string kept = "http://127.0.0.1:9/kept.m3u";
  ServerFixture server(kPlaylist);
  const std::string local = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
  BrowserHost app(0, 0, 800, 600);
  // Without the secret in the store, nothing is shown.
  ASSERT_TRUE(app.load(local + "sources.php?code=w"));
  EXPECT_EQ(app.view->readLinks("a").size(), 0u);  // the refusal line, not the page
  app.view->setLocalCookie(kPageCookieName, secretOf(server), "127.0.0.1");

  // The user adds a source with the page's own form.
  ASSERT_TRUE(app.load(local + "sources.php?code=w"));
  ASSERT_TRUE(app.runScript("document.querySelector('input[name=name]').value = 'Kept';"
                            "document.querySelector('input[name=location]').value = '" + kept + "';"
                            "document.querySelector('form.add-source button').click();"));
  ASSERT_TRUE(pumpUntil([&] { return server.body("/sources.php").find(kept) != std::string::npos; }, 10s));
  const std::string token = server.formToken();
  const std::string source = hrefsOf(server.body("/sources.php"), "remove").at(0);
  const std::string id = source.substr(source.rfind("remove=") + 7, source.find('&', source.rfind("remove=")) - source.rfind("remove=") - 7);
  const std::string alpha = idOf(server, "http://s.example/alpha.ts");
  ZipBuilder(server.docRoot() / "update" / "update.zip")
      .file("channels.m3u", "#EXTM3U\n" + entry("Updated", "http://n.example/1"))
      .close();

  const std::string sources = "sources.php?code=w&token=" + token + "&";
  const std::string change[] = {sources + "remove=" + id, sources + "off=" + id,
                                sources + "refresh=all",
                                sources + "add=playlist&name=Evil&location=http://evil.example/l",
                                "valid.php?cmd=addFav&code=w&method=ID&value=" + alpha, "locup.php"};
  // A directory whose playlist names them as logos.
  std::string playlist = "#EXTM3U\n";
  for (std::size_t i = 0; i < std::size(change); ++i)
    playlist += entry("Logo " + std::to_string(i), "http://s.example/l" + std::to_string(i), "", change[i]);
  writeFile(server.docRoot() / "channels.m3u", kPlaylist + playlist.substr(8));
  // A page of our origin that reaches for them in every other way.
  std::string page = "<!DOCTYPE html><html><head>";
  for (const std::string& target : change)
    page += "<link rel=\"stylesheet\" href=\"" + target + "\"><script src=\"" + target + "\"></script>";
  page += "</head><body>";
  for (const std::string& target : change)
    page += "<img src=\"" + target + "\"><iframe src=\"" + target + "\"></iframe><video src=\"" + target + "\"></video>";
  page += "<input id=\"done\" value=\"\"><script>window.onload = function () { Promise.all([";
  for (const std::string& target : change) page += "fetch('" + target + "').catch(function () {}),";
  page += "]).then(function () { document.getElementById('done').value = 'yes'; }); };</script></body></html>";
  writeFile(server.docRoot() / "hostile.html", page);

  ASSERT_TRUE(app.load(local + "query.php?code=w&fav=0"));
  ASSERT_TRUE(app.load(local + "hostile.html"));
  EXPECT_TRUE(pumpUntil([&] {
    try {
      return app.view->readElementValue("done") == "yes";
    } catch (const WebViewError&) {
      return false;
    }
  }, 10s));
  const std::string after = server.body("/sources.php");
  EXPECT_NE(after.find(kept), std::string::npos);
  EXPECT_NE(after.find("turn off"), std::string::npos);  // still on
  EXPECT_EQ(after.find("evil.example"), std::string::npos);
  EXPECT_TRUE(favorites(server, "w").empty());
  EXPECT_TRUE(fs::exists(server.docRoot() / "update" / "update.zip"));

  // The player's own request, in its hidden browser, still adds the favorite.
  BrowserHost query(0, 620, 200, 100);
  ASSERT_TRUE(query.load(addFavoriteByIdUrl(local, "w", alpha)));
  EXPECT_EQ(query.view->readElementValue("retVal"), "1");
  EXPECT_EQ(favorites(server, "w"), std::vector<std::string>{"http://s.example/alpha.ts"});
}

// The demo channels as a fresh build has them, their streams on a closed port.
std::string demoPlaylist() {
  std::string playlist = readFile(ZEPHRA_DEMO_DIR "/channels.m3u.in");
  for (auto at = playlist.find("@BASE@"); at != std::string::npos; at = playlist.find("@BASE@"))
    playlist.replace(at, 6, "http://127.0.0.1:1");
  return playlist;
}

// The demo guide and the pages' own script and style, as the staged document tree has them;
// true once the server shows the guide.
bool addDemoGuideAndAssets(ServerFixture& server) {
  const std::string command = "bash " ZEPHRA_DEMO_DIR "/make_demo_guide.sh '" +
                              server.docRoot().string() + "' >/dev/null";
  if (std::system(command.c_str()) != 0) return false;
  fs::copy(ZEPHRA_DEMO_DIR "/../www/assets", server.docRoot() / "assets",
           fs::copy_options::recursive);
  return pumpUntil(
      [&] { return server.body("/query.php?code=&fav=0").find("class=\"epg\"") != std::string::npos; },
      20s);
}

// The text a page script's function body returns, read back through an element of the page.
std::string measure(BrowserHost& host, const std::string& body) {
  std::string script =
      "var old = document.getElementById('probe'); if (old) old.remove();"
      "var p = document.createElement('input'); p.id = 'probe'; p.value = (function () { %s })();"
      "document.body.appendChild(p);";
  script.replace(script.find("%s"), 2, body);
  EXPECT_TRUE(host.runScript(script));
  return host.view->readElementValue("probe");
}

// The demo channels with the demo guide in the real web view: the now/next line under the names,
// and the guide grid whose programmes open their details.
TEST(GuideInTheWebView, DemoChannelsShowNowNextAndTheGrid) {
  ServerFixture server(demoPlaylist());
  ASSERT_TRUE(addDemoGuideAndAssets(server));
  const std::string local = "http://127.0.0.1:" + std::to_string(server.port()) + "/";

  BrowserHost browser(0, 0, 900, 600);
  browser.view->setLocalCookie(kPageCookieName, secretOf(server), "127.0.0.1");
  ASSERT_TRUE(browser.load(local + "query.php?code=&fav=0"));
  // Every demo channel has a programme on now, drawn (not hidden), with its progress bar.
  EXPECT_EQ(measure(browser,
                    "var n = 0; document.querySelectorAll('.channel .epg .now').forEach(function (e) {"
                    "  if (e.offsetHeight > 0 && e.querySelector('progress')) n++; }); return n;"),
            "5");
  EXPECT_EQ(measure(browser, "return document.querySelectorAll('.epg .next time').length;"), "5");

  ASSERT_TRUE(browser.load(local + "guide.php?code=&fav=0"));
  EXPECT_EQ(measure(browser, "return document.querySelectorAll('.grid a.play').length;"), "5");
  EXPECT_EQ(measure(browser, "return document.querySelector('.nowline') ? 'yes' : 'no';"), "yes");
  EXPECT_EQ(measure(browser,
                    "var b = document.querySelector('.prog.onair'); b.click();"
                    "var d = document.getElementById('details');"
                    "return (!d.hidden && d.textContent.indexOf('A demo programme') >= 0) ? 'shown' : 'no';"),
            "shown");
}

// The guide grid in the player's directory view at its fixed size, with the playing channel
// marked (and so scrolled to) as the player does on every page: each hour label of the time ruler
// within the grid's width lies wholly inside the grid's visible area, with nothing drawn over it.
TEST(GuideInTheWebView, TimeRulerStaysReadableWhenThePlayingChannelIsShown) {
  ServerFixture server(demoPlaylist());
  ASSERT_TRUE(addDemoGuideAndAssets(server));
  BrowserHost browser(0, 0, 703, 428);
  browser.view->setLocalCookie(kPageCookieName, secretOf(server), "127.0.0.1");
  const std::string local = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
  ASSERT_TRUE(browser.load(local + "guide.php?code=&fav=0"));
  browser.view->markLinks("a.play", "http://127.0.0.1:1/demo/life.ts", "playing");
  const std::string script =
      "var grid = document.querySelector('.grid'), g = grid.getBoundingClientRect(), seen = 0;"
      "if (!document.querySelector('.grid a.playing')) return 'not marked';"
      "for (const mark of grid.querySelectorAll('.times .mark')) {"
      "  var r = mark.getBoundingClientRect();"
      "  if (r.left < g.left || r.right > g.right) continue;"
      "  ++seen;"
      "  var where = mark.textContent + ' at ' + Math.round(r.top) + '..' + Math.round(r.bottom) +"
      "              ', grid ' + Math.round(g.top) + '..' + Math.round(g.bottom);"
      "  if (r.top < g.top || r.bottom > g.bottom || r.top < 0) return 'clipped: ' + where;"
      "  for (const [x, y] of [[r.left + 1, r.top + 1], [r.right - 1, r.top + 1], [r.left + 1, r.bottom - 1]]) {"
      "    var hit = document.elementFromPoint(x, y);"
      "    if (hit !== mark) return 'covered by ' + (hit ? hit.className || hit.tagName : 'nothing') + ': ' + where;"
      "  }"
      "}"
      "return seen >= 2 ? 'readable' : 'only ' + seen + ' labels in view';";
  EXPECT_EQ(measure(browser, script), "readable");
}

}  // namespace
}  // namespace zephra::test
