// Provider accounts' plain parts: the answer readers against good, loose and hostile answers, the
// channels built from them, and the addresses.
#include <gtest/gtest.h>

#include "local_server/sources/provider/account_channels.h"
#include "local_server/sources/provider/provider_address.h"
#include "local_server/sources/provider/provider_answers.h"

namespace zephra {
namespace {

constexpr std::int64_t kNow = 1700000000;

std::string errorOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const ProviderError& e) {
    return e.what();
  }
  return {};
}

TEST(ProviderAnswers, LoginAnswerTellsWhatStopsTheAccount) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  const struct {
    std::string answer, error;  // error: part of the message, "" for a good login
    std::int64_t expires, active, max;
  } cases[] = {
      {R"({"user_info":{"auth":1,"status":"Active","exp_date":"1800000000","active_cons":"1",
          "max_connections":"2","allowed_output_formats":["m3u8","ts"]}})", "", 1800000000, 1, 2},
      // Numbers as numbers, null for no expiry, auth as text.
      {R"({"user_info":{"auth":"1","status":"Active","exp_date":null,"active_cons":0,
          "max_connections":5}})", "", 0, 0, 5},
      {R"({"user_info":{"auth":1,"status":"Active","exp_date":"","active_cons":"x",
          "max_connections":[1]}})", "", 0, 0, 0},
      {R"({"user_info":{"auth":0}})", "wrong user name or password"},
      {R"({"user_info":[],"server_info":{}})", "wrong user name or password"},
      {R"({"server_info":{"url":"x"}})", "wrong user name or password"},
      {"[]", "wrong user name or password"},
      {R"({"user_info":{"auth":1,"status":"Expired","exp_date":"1594000000"}})",
       "the account expired on 2020-07-0"},
      {R"({"user_info":{"auth":1,"status":"Active","exp_date":1600000000}})",
       "the account expired on 2020-09-1"},
      {R"({"user_info":{"auth":1,"status":"Disabled"}})", "the account is disabled"},
      {R"({"user_info":{"auth":1,"status":"Banned"}})", "the account is banned"},
      {R"({"user_info":{"auth":1,"status":"Trial\u0000<b>"}})", "not active (Trial <b>)"},
      {"<!DOCTYPE html><html><body>Login</body></html>", "a web page"},
      {"\xEF\xBB\xBF  <html>", "a web page"},
      {"", "not JSON"},
      {"{\"user_info\":{\"auth\":1,\"status\":\"\xff\"}}", "not JSON"},
      {"{\"user_info\":", "not JSON"},
      {"42", "not one of the player API"},
      {deep, "nests deeper than 16 levels"},
  };
  for (const auto& c : cases) {
    AccountInfo info;
    const std::string error = errorOf([&] { info = readAccountInfo(c.answer, kNow); });
    if (c.error.empty()) {
      EXPECT_EQ(error, "") << c.answer;
      EXPECT_EQ(info.expires.value_or(0), c.expires) << c.answer;
      EXPECT_EQ(info.activeConnections, c.active) << c.answer;
      EXPECT_EQ(info.maxConnections, c.max) << c.answer;
    } else {
      EXPECT_NE(error.find(c.error), std::string::npos) << c.answer.substr(0, 80) << ": " << error;
    }
  }
}

TEST(ProviderAnswers, StreamsKeepWhatIsUsableOfHostileEntries) {
  const std::string huge(1 << 20, 'x');
  const struct {
    std::string answer;
    std::size_t taken, leftOut;
    std::string error;
  } cases[] = {
      {R"([{"stream_id":1,"name":"A"},{"stream_id":"2","name":"B"},{"stream_id":3.0,"name":"C"}])", 3, 0, ""},
      // Wrong types and missing fields: no id, id as a list, negative, fractional, no name.
      {R"([{"name":"A"},{"stream_id":[1],"name":"B"},{"stream_id":-4,"name":"C"},
          {"stream_id":1.5,"name":"D"},{"stream_id":5},{"stream_id":6,"name":{"x":1}}])", 0, 6, ""},
      {R"([1,"two",null,[{"stream_id":1,"name":"A"}],{"stream_id":7,"name":"ok"}])", 1, 4, ""},
      {"[{\"stream_id\":8,\"name\":\"" + huge + "\",\"stream_icon\":\"http://l/" + huge + "\"}]", 1, 0, ""},
      {R"({"user_info":{"auth":0}})", 0, 0, "refused the account's login"},
      {R"({"a":1})", 0, 0, "not a list"},
      {"[{\"stream_id\":1,\"name\":\"A\"}" + std::string(5000, ' '), 0, 0, "not JSON"},
      {"[" + std::string(40, '{') , 0, 0, "not JSON"},
      {"[{\"stream_id\":1,\"name\":\"A\",\"x\":" + std::string(20, '[') + std::string(20, ']') + "}]",
       0, 0, "nests deeper"},
  };
  for (const auto& c : cases) {
    std::vector<ProviderStream> taken;
    std::size_t leftOut = 0;
    const std::string error = errorOf(
        [&] { leftOut = readStreams(c.answer, [&](ProviderStream& s) { taken.push_back(s); }); });
    EXPECT_NE(error.find(c.error), std::string::npos) << c.answer.substr(0, 80) << ": " << error;
    if (!c.error.empty()) continue;
    EXPECT_EQ(taken.size(), c.taken) << c.answer.substr(0, 80);
    EXPECT_EQ(leftOut, c.leftOut) << c.answer.substr(0, 80);
    for (const ProviderStream& s : taken) {
      EXPECT_LE(s.name.size(), kMaxProviderText);
      EXPECT_LE(s.logo.size(), kMaxProviderAddress);
    }
  }
}

TEST(AccountChannels, FollowTheProvidersCategoriesWithAddressAndArchive) {
  const ProviderLogin login{"http://tv.example:8080", "me", "p/w d"};
  const std::string categories =
      R"([{"category_id":"2","category_name":"Sport\u0007"},{"category_id":1,"category_name":"News"},
          {"category_name":"no id"}, 5])";
  const std::string streams =
      R"json([{"stream_id":10,"name":"Ten","category_id":"1","tv_archive":"1","tv_archive_duration":"3",
           "stream_icon":"javascript:alert(1)","epg_channel_id":"ten.tv"},
          {"stream_id":11,"name":"Eleven\nLine","category_id":"9","tv_archive":0,"tv_archive_duration":7},
          {"stream_id":12,"name":"Twelve","category_id":2,"tv_archive":true,"tv_archive_duration":99999,
           "stream_icon":"https://logo.example/12.png"},
          {"stream_id":10,"name":"Ten again","category_id":"2"},
          {"stream_id":13,"name":"Thirteen","category_id":"1"}])json";
  const struct {
    std::vector<std::string> formats;
    std::size_t max;
    std::vector<std::string> names, groups;
    std::string firstUrl;
  } cases[] = {
      {{"m3u8", "ts"}, 10, {"Twelve", "Ten", "Thirteen", "Eleven Line"}, {"Sport", "News", "News", ""},
       "http://tv.example:8080/live/me/p%2Fw%20d/12.ts"},
      // Past the limit, the answer's first streams are kept.
      {{"m3u8"}, 2, {"Ten", "Eleven Line"}, {"News", ""}, "http://tv.example:8080/live/me/p%2Fw%20d/10.m3u8"},
      {{"rtmp"}, 10, {"Twelve", "Ten", "Thirteen", "Eleven Line"}, {"Sport", "News", "News", ""},
       "http://tv.example:8080/live/me/p%2Fw%20d/12.ts"},
  };
  for (const auto& c : cases) {
    const Playlist playlist = accountPlaylist(login, c.formats, categories, streams, c.max);
    std::vector<std::string> names, groups;
    for (const Channel& channel : playlist.channels) {
      names.push_back(channel.name);
      groups.push_back(channel.group);
    }
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(groups, c.groups);
    EXPECT_EQ(playlist.channels[0].url, c.firstUrl);
    EXPECT_EQ(playlist.cutCount, c.names.size() == 2 ? 2u : 0u);
  }
  const Playlist playlist = accountPlaylist(login, {}, categories, streams, 10);
  const Channel twelve = playlist.channels[0], ten = playlist.channels[1], eleven = playlist.channels[3];
  EXPECT_EQ(twelve.logo, "https://logo.example/12.png");
  EXPECT_EQ(ten.logo, "");
  EXPECT_EQ(ten.tvgId, "ten.tv");
  EXPECT_EQ(std::make_tuple(ten.catchupMode, ten.catchupDays, ten.catchupSource),
            std::make_tuple(std::string("xc"), 3, std::string()));
  EXPECT_EQ(twelve.catchupDays, 3650);
  EXPECT_EQ(std::make_tuple(eleven.catchupMode, eleven.catchupDays), std::make_tuple(std::string(), 0));
  // The same answers give the same ids: favorites survive a refresh.
  EXPECT_EQ(accountPlaylist(login, {}, categories, streams, 10).channels[1].id, ten.id);
}

TEST(ProviderAddress, ServersAndPlaylistAddressesAreReadStrictly) {
  const struct {
    std::string text, server;  // "" when refused
  } servers[] = {
      {"tv.example:8080", "http://tv.example:8080"},
      {" https://tv.example/ ", "https://tv.example"},
      {"http://tv.example:80/player_api.php", "http://tv.example:80"},
      {"http://tv.example/panel/get.php", "http://tv.example/panel"},
      {"ftp://tv.example", ""},
      {"http://me:pw@tv.example", ""},
      {"http://tv.example/?a=1", ""},
      {"http://tv example", ""},
      {"http://", ""},
      {"", ""},
  };
  for (const auto& c : servers) {
    std::string why;
    EXPECT_EQ(providerServer(c.text, why).value_or(""), c.server) << c.text;
    EXPECT_EQ(why.empty(), !c.server.empty()) << c.text;
  }
  const struct {
    std::string address, server, user, password;  // server "" when not an account
  } playlists[] = {
      {"http://tv.example:8080/get.php?username=me&password=s%20w&type=m3u_plus&output=ts",
       "http://tv.example:8080", "me", "s w"},
      {"http://tv.example/get.php?type=m3u&password=x&username=u", "http://tv.example", "u", "x"},
      {"http://tv.example/get.php?username=me", "", "", ""},
      {"http://tv.example/get.php?username=&password=x", "", "", ""},
      {"http://tv.example/list.php?username=me&password=x", "", "", ""},
      {"http://tv.example/get.php?username=me&password=%zz", "", "", ""},
  };
  for (const auto& c : playlists) {
    const auto login = loginOfPlaylistAddress(c.address);
    EXPECT_EQ(login ? login->server + "|" + login->user + "|" + login->password : "",
              c.server.empty() ? "" : c.server + "|" + c.user + "|" + c.password)
        << c.address;
  }
  // A channel's address gives its account and stream back, for the archive's addresses.
  for (const auto& [address, id] : {std::pair<std::string, std::int64_t>{
                                        providerLiveAddress({"https://tv.example/x", "m e", "p/w"}, 42, "ts"), 42},
                                    {"http://tv.example/live/u/p/0.ts", 0},
                                    {"http://tv.example/movie/u/p/42.mkv", 0},
                                    {"live/u/p/42.ts", 0}}) {
    const auto stream = liveStreamOf(address);
    EXPECT_EQ(stream ? stream->streamId : 0, id) << address;
    if (stream) {
      EXPECT_EQ(stream->login.server + "|" + stream->login.user + "|" + stream->login.password,
                "https://tv.example/x|m e|p/w");
    }
  }
  // What the store keeps names no password, and reads back to the same account.
  const std::string location = accountLocation("http://tv.example:8080", "m e&x");
  EXPECT_EQ(location, "http://tv.example:8080/player_api.php?username=m%20e%26x");
  const auto back = loginOfAccountLocation(location);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->user, "m e&x");
  EXPECT_EQ(withPassword(location, "a&b"), location + "&password=a%26b");
}

}  // namespace
}  // namespace zephra
