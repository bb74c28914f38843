// Reading HLS master playlists, choosing the variant, and resolving its address.
#include "player_logic/hls_master.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zephra {
namespace {

const std::string kMaster =
    "\xEF\xBB\xBF#EXTM3U\r\n#EXT-X-VERSION:3\r\n"
    "#EXT-X-STREAM-INF:BANDWIDTH=6500000,CODECS=\"avc1.640028,mp4a.40.2\",RESOLUTION=1920x1080\r\n"
    "hd/live.m3u8?token=a,b\r\n"
    "#EXT-X-STREAM-INF:RESOLUTION=1280x720,BANDWIDTH=3400000\n"
    "\n# a comment between the tag and its address\n"
    "http://cdn.example/720.m3u8\n"
    "#EXT-X-STREAM-INF:RESOLUTION=640x360\n"
    "no-bandwidth.m3u8\n"
    "#EXT-X-STREAM-INF:BANDWIDTH=1000000\n"
    "/abs/360.m3u8\n";

TEST(HlsMaster, ReadsTheVariantsAMasterPlaylistDeclares) {
  const auto variants = readHlsMaster(kMaster);
  ASSERT_EQ(variants.size(), 3u);
  EXPECT_EQ(variants[0].bandwidth, 6500000);
  EXPECT_EQ(variants[0].height, 1080);
  EXPECT_EQ(variants[0].uri, "hd/live.m3u8?token=a,b");
  EXPECT_EQ(variants[1].height, 720);
  EXPECT_EQ(variants[1].uri, "http://cdn.example/720.m3u8");
  EXPECT_EQ(variants[2].height, 0);

  const std::string notMasters[] = {
      "",
      "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\nseg_1.ts\n",  // a media playlist
      "<html>#EXT-X-STREAM-INF:BANDWIDTH=1\nx.m3u8\n</html>",
      "#EXT-X-STREAM-INF:BANDWIDTH=1\nx.m3u8\n",                      // no header
      "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=\"1\nx.m3u8\n",           // unclosed quote: no bandwidth
      "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=99999999999999999999999\n",  // no address
      "#EXTM3U\n" + std::string(kHlsMasterLimit, '#'),
  };
  for (const auto& text : notMasters) EXPECT_TRUE(readHlsMaster(text).empty()) << text.substr(0, 60);

  std::string many = "#EXTM3U\n";
  for (int i = 0; i < 5000; ++i) many += "#EXT-X-STREAM-INF:BANDWIDTH=1\nv.m3u8\n";
  EXPECT_EQ(readHlsMaster(many).size(), kHlsVariantLimit);
}

TEST(HlsMaster, ChoosesTheBestVariantTheLinkCarries) {
  const auto variants = readHlsMaster(kMaster);
  const std::pair<long long, long long> cases[] = {
      {0, 6500000},         // link unknown: the best picture
      {20000000, 6500000},  // fast link
      {5000000, 3400000},   // 6.5 Mbit/s does not fit in 5 with a fifth to spare
      {4250000, 3400000},   // exactly fits: 4.25 * 0.8 = 3.4
      {4200000, 1000000},
      {500000, 1000000},    // nothing fits: the lowest
  };
  for (const auto& [link, expected] : cases) EXPECT_EQ(chooseHlsVariant(variants, link)->bandwidth, expected) << link;
  EXPECT_FALSE(chooseHlsVariant({}, 0));
}

TEST(HlsMaster, ResolvesVariantAddressesAgainstTheMaster) {
  const std::string base = "http://host:8080/live/ch1/master.m3u8?token=x";
  const std::pair<std::string, std::string> cases[] = {
      {"720/live.m3u8", "http://host:8080/live/ch1/720/live.m3u8"},
      {"/other/v.m3u8?a=1", "http://host:8080/other/v.m3u8?a=1"},
      {"//cdn.example/v.m3u8", "http://cdn.example/v.m3u8"},
      {"https://cdn.example/v.m3u8", "https://cdn.example/v.m3u8"},
      {"v.m3u8?x=http://y/", "http://host:8080/live/ch1/v.m3u8?x=http://y/"},
  };
  for (const auto& [uri, expected] : cases) EXPECT_EQ(resolvePlaylistUri(base, uri), expected) << uri;
  EXPECT_EQ(resolvePlaylistUri("http://host", "v.m3u8"), "http://host/v.m3u8");
  const std::pair<std::string, bool> addresses[] = {{"http://h/a.m3u8", true}, {"http://h/a.M3U8?t=1", true},
                                                    {"http://h/a.m3u8.ts", false}, {"http://h/a.ts?x=.m3u8", false},
                                                    {"m3u8", false}};
  for (const auto& [address, hls] : addresses) EXPECT_EQ(isHlsAddress(address), hls) << address;
}

}  // namespace
}  // namespace zephra
