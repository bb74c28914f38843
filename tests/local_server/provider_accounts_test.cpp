// Provider accounts through the real routes, against a fake provider on 127.0.0.1: the login's
// failures, a full import with its guide, refreshes, the password kept secret, a restart.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "common/text.h"
#include "local_server/recording/connection_limit.h"
#include "local_server/sources/provider/provider_accounts.h"
#include "tests/local_server/server_test_support.h"
#include "tests/support/fake_provider.h"

namespace zephra::test {
namespace {

using Login = FakeProvider::Login;

std::string addAccount(const std::string& server, const std::string& user = FakeProvider::kUser,
                       const std::string& password = FakeProvider::kPassword) {
  return "/sources.php?code=u&add=account&name=My%20TV&server=" + text::percentEncoded(server) +
         "&username=" + text::percentEncoded(user) + "&password=" + text::percentEncoded(password);
}

std::vector<std::string> names(ServerFixture& server) {
  return firstGroups(server.body("/query.php?code=u&fav=0"), "<a class=\"play\" href=\"[^\"]*\">([^<]*)</a>");
}

TEST(ProviderAccountPage, EachLoginFailureIsToldAndNothingIsStored) {
  FakeProvider provider;
  ServerFixture server("#EXTM3U\n");
  const struct {
    Login login;
    std::string server, password, notice;
  } cases[] = {
      {Login::Good, provider.server(), "letmein", "wrong user name or password"},
      {Login::Wrong, provider.server(), FakeProvider::kPassword, "wrong user name or password"},
      {Login::Refused401, provider.server(), FakeProvider::kPassword, "wrong user name or password"},
      {Login::Expired, provider.server(), FakeProvider::kPassword, "the account expired on 2020-07-0"},
      {Login::Disabled, provider.server(), FakeProvider::kPassword, "the account is disabled"},
      {Login::Banned, provider.server(), FakeProvider::kPassword, "the account is banned"},
      {Login::WebPage, provider.server(), FakeProvider::kPassword, "a web page, not an answer"},
      {Login::Huge, provider.server(), FakeProvider::kPassword, "larger than 1 MiB"},
      {Login::Good, "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()),
       FakeProvider::kPassword, "the server cannot be reached"},
      {Login::Good, "ftp://127.0.0.1", FakeProvider::kPassword, "starts with http:// or https://"},
      {Login::Good, provider.server(), "", "give the account&#39;s password"},
  };
  for (const auto& c : cases) {
    provider.setLogin(c.login);
    // The refusal is shown at an address without the password, which the web view keeps.
    auto result = change(server, addAccount(c.server, FakeProvider::kUser, c.password));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 303);
    const std::string location = result->get_header_value("Location");
    EXPECT_EQ(location.find("password"), std::string::npos) << location;
    const std::string body = server.body("/" + location);
    const auto notice = body.find("<p class=\"notice\">Account not added: ");
    EXPECT_NE(body.find(c.notice, notice), std::string::npos) << c.notice << "\n" << body;
    // The form keeps what was typed, but never the password.
    EXPECT_NE(body.find("value=\"" + std::string(FakeProvider::kUser) + "\""), std::string::npos);
    if (!c.password.empty()) {
      EXPECT_EQ(body.find(c.password), std::string::npos) << c.notice;
    }
  }
  EXPECT_TRUE(hrefsOf(server.body("/sources.php"), "remove").empty());
  EXPECT_FALSE(fs::exists(server.dataDir() / LocalServer::kAccountsFileName));
}

TEST(ProviderAccountPage, ImportGuideRefreshAndTheSecretKept) {
  FakeProvider provider;
  ServerFixture server("#EXTM3U\n");
  auto& refresher = server.server().sourceRefresher();
  ASSERT_EQ(change(server, addAccount(provider.server()))->status, 303);
  ASSERT_TRUE(refresher.waitIdle(std::chrono::seconds(30)));

  // The provider's category order (Films, News, Sport), its order within each.
  EXPECT_EQ(names(server), (std::vector<std::string>{"Channel 2", "Channel 5", "Channel 0",
                                                    "Channel 3", "Channel 1", "Channel 4"}));
  const std::string all = server.body("/query.php?code=u&fav=0");
  EXPECT_NE(all.find("Films (2)"), std::string::npos);
  EXPECT_NE(all.find("http://logo.example/0.png"), std::string::npos);
  const std::string password = text::percentEncoded(FakeProvider::kPassword);
  EXPECT_NE(all.find("/live/viewer/" + password + "/1000.ts"), std::string::npos);
  EXPECT_NE(all.find("Morning News"), std::string::npos) << "now/next from the account's guide";
  const auto channels = refresher.channels();
  ASSERT_EQ(channels->entries.size(), 1u);
  const Channel zero = channels->entries[0].playlist->channels[2];
  EXPECT_EQ(std::make_tuple(zero.name, zero.catchupMode, zero.catchupDays),
            std::make_tuple(std::string("Channel 0"), std::string("xc"), 7));

  std::string page = server.body("/sources.php?code=u");
  EXPECT_NE(page.find("Provider account"), std::string::npos);
  EXPECT_NE(page.find(provider.server() + ", user viewer, password \xE2\x80\xA2"), std::string::npos);
  EXPECT_NE(page.find("Active until 2100-01-01"), std::string::npos) << page;
  EXPECT_NE(page.find("connections 1 / 2"), std::string::npos);
  EXPECT_NE(page.find("6 channels"), std::string::npos);
  EXPECT_NE(page.find("the account's guide"), std::string::npos);
  EXPECT_NE(page.find("2 programmes"), std::string::npos) << page;
  for (const std::string& secret : {std::string(FakeProvider::kPassword), password})
    EXPECT_EQ(page.find(secret), std::string::npos) << secret;
  struct stat info {};
  ASSERT_EQ(::stat((server.dataDir() / LocalServer::kAccountsFileName).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  for (const auto& file : fs::directory_iterator(server.dataDir() / LocalServer::kSourcesCacheName))
    EXPECT_EQ(readFile(file.path()).find(FakeProvider::kPassword), std::string::npos) << file.path();

  // A hostile answer fails the refresh and keeps the channels; a good one keeps their ids.
  const std::string favBefore = hrefsOf(all, "fav")[0];
  const struct {
    std::string streams, error;
  } refreshes[] = {
      {"[" + std::string(64, '[') + std::string(64, ']') + "]", "nests deeper than 16 levels"},
      {"[{\"stream_id\":\"x\",\"name\":1}]", "the account lists no live channels"},
      {"<html><body>maintenance</body></html>", "a web page"},
  };
  for (const auto& r : refreshes) {
    provider.setStreamsAnswer(r.streams);
    ASSERT_EQ(change(server, "/sources.php?code=u&refresh=all")->status, 303);
    ASSERT_TRUE(refresher.waitIdle(std::chrono::seconds(30)));
    EXPECT_NE(server.body("/sources.php").find(r.error), std::string::npos) << r.error;
    EXPECT_EQ(names(server).size(), 6u) << r.error;
  }
  provider.setChannels(7);
  change(server, "/sources.php?code=u&refresh=all");
  ASSERT_TRUE(refresher.waitIdle(std::chrono::seconds(30)));
  const std::string after = server.body("/query.php?code=u&fav=0");
  EXPECT_EQ(names(server).size(), 7u);
  EXPECT_EQ(hrefsOf(after, "fav")[0], favBefore);

  // Removed: its channels, guide, copies and password go.
  ASSERT_EQ(change(server, "/" + hrefsOf(server.body("/sources.php"), "remove")[0])->status, 303);
  ASSERT_TRUE(refresher.waitIdle(std::chrono::seconds(30)));
  EXPECT_TRUE(names(server).empty());
  EXPECT_TRUE(fs::is_empty(server.dataDir() / LocalServer::kSourcesCacheName));
  EXPECT_EQ(readFile(server.dataDir() / LocalServer::kAccountsFileName).find(FakeProvider::kPassword),
            std::string::npos);
}

TEST(ProviderAccountPage, PlaylistOfTheApiBecomesAnAccount) {
  FakeProvider provider;
  ServerFixture server("#EXTM3U\n");
  const std::string playlist = provider.server() + "/get.php?username=viewer&password=" +
                               text::percentEncoded(FakeProvider::kPassword) + "&type=m3u_plus";
  change(server, "/sources.php?code=u&add=playlist&name=Old&location=" + text::percentEncoded(playlist));
  const auto offers = hrefsOf(server.body("/sources.php"), "toaccount");
  ASSERT_EQ(offers.size(), 1u);
  ASSERT_EQ(change(server, "/" + offers[0])->status, 303);
  ASSERT_TRUE(server.server().sourceRefresher().waitIdle(std::chrono::seconds(30)));
  const std::string page = server.body("/sources.php");
  EXPECT_NE(page.find("Provider account"), std::string::npos);
  EXPECT_EQ(page.find("get.php"), std::string::npos);
  EXPECT_EQ(names(server).size(), 6u);
}

TEST(ProviderAccountPage, ChannelsOutliveARestartWithTheProviderDown) {
  FakeProvider provider;
  TempDir data;
  LocalServerConfig config;
  config.docRoot = (data.path() / "www").string();
  config.dataDir = (data.path() / "data").string();
  writeFile(data.path() / "www" / "channels.m3u", "#EXTM3U\n");
  fs::create_directories(config.dataDir);
  {
    SourceStore store((data.path() / "data" / LocalServer::kSourcesDatabaseName).string());
    const auto id = store.add(SourceKind::Account, "P",
                              accountLocation(provider.server(), FakeProvider::kUser));
    ASSERT_TRUE(id);
    ProviderAccounts((data.path() / "data" / LocalServer::kAccountsFileName).string())
        .add(*id, FakeProvider::kPassword, AccountInfo{}, 0);
    LocalServer first(config);
    ASSERT_TRUE(first.sourceRefresher().waitIdle(std::chrono::seconds(30)));
    ASSERT_EQ(first.sourceRefresher().channels()->entries.size(), 1u);
  }
  provider.setLogin(Login::Refused401);
  LocalServer second(config);
  ASSERT_TRUE(second.sourceRefresher().waitIdle(std::chrono::seconds(30)));
  const auto channels = second.sourceRefresher().channels();
  ASSERT_EQ(channels->entries.size(), 1u);
  EXPECT_EQ(channels->entries[0].playlist->channels.size(), 6u);
}

TEST(ProviderAccountStore, AnOlderSourcesFileTakesAccountsAndKeepsItsIds) {
  TempDir dir;
  const std::string path = (dir.path() / "sources.sqlite3").string();
  {
    SqliteDatabase db(path);
    db.exec("CREATE TABLE schema_version (version INTEGER NOT NULL);"
            "INSERT INTO schema_version VALUES (1);"
            "CREATE TABLE sources (id INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL CHECK "
            "(kind IN ('playlist', 'guide')), name TEXT NOT NULL, location TEXT NOT NULL, enabled "
            "INTEGER NOT NULL DEFAULT 1, parent_id INTEGER, added_at INTEGER NOT NULL DEFAULT 0, "
            "last_attempt INTEGER NOT NULL DEFAULT 0, last_success INTEGER NOT NULL DEFAULT 0, "
            "last_count INTEGER NOT NULL DEFAULT 0, last_error TEXT NOT NULL DEFAULT '', "
            "UNIQUE (kind, location));"
            "INSERT INTO sources (kind, name, location) VALUES ('playlist', 'A', 'http://a/l'),"
            "('guide', 'B', 'http://b/g'), ('playlist', 'C', 'http://c/l');"
            "DELETE FROM sources WHERE name = 'C';");
  }
  SourceStore store(path);
  const auto account = store.add(SourceKind::Account, "P", accountLocation("http://p", "u"));
  ASSERT_TRUE(account);
  EXPECT_EQ(*account, 4);  // the removed source's id is not given again
  std::vector<std::string> kept;
  for (const Source& source : store.list())
    kept.push_back(std::string(sourceKindName(source.kind)) + " " + source.name);
  EXPECT_EQ(kept, (std::vector<std::string>{"playlist A", "account P", "guide B"}));
}

// A recording warns of a busy account only for a channel of an account whose login said one.
TEST(ProviderAccountStore, ConnectionLimitIsTheChannelsOwnAccounts) {
  TempDir dir;
  ProviderAccounts accounts((dir.path() / "accounts.json").string());
  AccountInfo one, unsaid;
  one.maxConnections = 1;
  accounts.add(1, "secret", one, 0);
  accounts.add(2, "secret", unsaid, 0);
  std::vector<Source> sources(3);
  sources[0] = {1, SourceKind::Account, "Single"};
  sources[1] = {2, SourceKind::Account, "Unsaid"};
  sources[2] = {3, SourceKind::Playlist, "Plain"};
  const struct {
    const char* source;
    std::optional<int> limit;
  } cases[] = {{"Single", 1}, {"Unsaid", std::nullopt}, {"Plain", std::nullopt}, {"", std::nullopt},
               {"Gone", std::nullopt}};
  for (const auto& c : cases) {
    Channel channel;
    channel.source = c.source;
    EXPECT_EQ(accountConnectionLimit(channel, sources, accounts), c.limit) << c.source;
  }
}

}  // namespace
}  // namespace zephra::test
