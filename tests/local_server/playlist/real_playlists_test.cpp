// Real-world playlists kept beside the clone (shared/testdata/m3u); skipped when absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <utility>

#include "common/text.h"
#include "local_server/playlist/m3u_parser.h"
#include "local_server/playlist/text_encoding.h"

namespace zephra {
namespace {

std::string testDataPath(const std::string& file) {
  return std::string(ZEPHRA_M3U_TESTDATA_DIR) + "/" + file;
}

Playlist loadOrSkip(const std::string& file, bool& skipped) {
  const std::string path = testDataPath(file);
  skipped = !std::filesystem::exists(path);
  return skipped ? Playlist() : loadM3uFile(path);
}

#define LOAD_OR_SKIP(var, file)                                     \
  bool var##Skipped = false;                                        \
  const Playlist var = loadOrSkip(file, var##Skipped);              \
  if (var##Skipped) GTEST_SKIP() << "no test data at " << testDataPath(file)

// A copy: channel lists hand out each channel by value.
std::optional<Channel> findByName(const Playlist& p, const std::string& name) {
  for (const Channel& c : p.channels) {
    if (c.name == name) return c;
  }
  return std::nullopt;
}

// Each named channel is in the list with the given tvg-id.
void expectTvgIds(const Playlist& p,
                  std::initializer_list<std::pair<std::string, std::string>> nameAndId) {
  for (const auto& [name, tvgId] : nameAndId) {
    const std::optional<Channel> channel = findByName(p, name);
    ASSERT_TRUE(channel.has_value()) << name;
    EXPECT_EQ(channel->tvgId, tvgId) << name;
  }
}

struct FileCounts {
  const char* file;
  std::size_t entries;     // #EXTINF lines
  std::size_t duplicates;  // entries repeating an earlier one exactly
};

void PrintTo(const FileCounts& counts, std::ostream* out) { *out << counts.file; }

class RealPlaylistTest : public ::testing::TestWithParam<FileCounts> {};

TEST_P(RealPlaylistTest, EveryEntryBecomesAUsableChannel) {
  const FileCounts& counts = GetParam();
  LOAD_OR_SKIP(p, counts.file);
  EXPECT_EQ(p.channels.size(), counts.entries - counts.duplicates);
  EXPECT_EQ(p.warnings.size(), counts.duplicates);
  std::set<std::string> ids;
  for (const Channel& c : p.channels) {
    EXPECT_TRUE(ids.insert(c.id).second) << c.name;
    EXPECT_EQ(c.url.rfind("http", 0), 0u) << c.url;  // all of these files use http(s)
    EXPECT_NE(c.url.back(), '\r');
    EXPECT_FALSE(c.name.empty());
    EXPECT_NE(c.name, c.url);
    EXPECT_TRUE(text::isValidUtf8(c.name)) << c.name;
    EXPECT_EQ(c.name.find("user-agent"), std::string::npos) << c.name;
    EXPECT_EQ(c.name.find('"'), std::string::npos) << c.name;
    EXPECT_EQ(c.group, "");  // none of these files has groups or logos
    EXPECT_EQ(c.logo, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealPlaylistTest,
    ::testing::Values(FileCounts{"us.m3u", 891, 7}, FileCounts{"in.m3u", 160, 0},
                      FileCounts{"cn.m3u", 1054, 0}, FileCounts{"ae.m3u", 78, 0},
                      FileCounts{"de.m3u", 202, 0}, FileCounts{"br.m3u", 299, 0},
                      FileCounts{"ru.m3u", 381, 0}, FileCounts{"jp.m3u", 103, 0}),
    [](const ::testing::TestParamInfo<FileCounts>& info) {
      return std::string(info.param.file).substr(0, 2);
    });

TEST(RealPlaylistDetailTest, UsHeadersReachTheirChannelsAndThePlayValue) {
  LOAD_OR_SKIP(us, "us.m3u");
  std::size_t userAgents = 0;
  std::size_t referrers = 0;
  for (const Channel& c : us.channels) {
    userAgents += !c.headers.userAgent.empty();
    referrers += !c.headers.referrer.empty();
    EXPECT_EQ(c.url.find('|'), std::string::npos) << c.url;
  }
  EXPECT_EQ(userAgents, 8u);
  EXPECT_EQ(referrers, 1u);
  const std::optional<Channel> wgn = findByName(us, "WGN Chicago IL (WGN-TV1) (720p)");
  ASSERT_TRUE(wgn.has_value());
  EXPECT_EQ(wgn->headers.referrer, "https://plus.teleup.com/");
  EXPECT_EQ(wgn->headers.userAgent.rfind("Mozilla/5.0 (Macintosh; Intel Mac OS X 10_14_6)", 0), 0u);
  const StreamRequest played = splitStreamHeaders(playValue(*wgn));
  EXPECT_EQ(played.address, wgn->url);
  EXPECT_TRUE(played.headers == wgn->headers);
}

TEST(RealPlaylistDetailTest, UsUserAgentCommasAndSharedAddresses) {
  LOAD_OR_SKIP(us, "us.m3u");
  expectTvgIds(us, {{"A3Bikini (720p)", "A3Bikini.us"}, {"CNBC Europe (480p)", "CNBCEurope.uk"}});
  // Two #EXTVLCOPT lines between the entry and its address.
  const std::optional<Channel> wgn = findByName(us, "WGN Chicago IL (WGN-TV1) (720p)");
  ASSERT_TRUE(wgn.has_value());
  EXPECT_EQ(wgn->url,
            "https://cdn1-8p.teleuptv.net/3773db6d-881b-4096-b9cc-b4fe99ab68ac/index.m3u8");
  // One address under two names: two channels, two ids.
  const std::optional<Channel> government = findByName(us, "Marin TV Government Channel");
  const std::optional<Channel> community = findByName(us, "Marin TV Community Channel");
  ASSERT_TRUE(government.has_value());
  ASSERT_TRUE(community.has_value());
  EXPECT_EQ(government->url, community->url);
  EXPECT_NE(government->id, community->id);
}

TEST(RealPlaylistDetailTest, JpSpaceBeforeCommaAndBareUserAgent) {
  LOAD_OR_SKIP(jp, "jp.m3u");
  expectTvgIds(jp, {{"NHK World Japan (720p) [Not 24/7]", "NHKWorldJapan.jp"},
                    {"Animax Japan (Vietnamese Subs) (720p)", "AnimaxJapan.jp"},
                    {"TBS News", ""}});
}

TEST(RealPlaylistDetailTest, DeReplacementCharacterIsNotReDecoded) {
  LOAD_OR_SKIP(de, "de.m3u");
  // Valid UTF-8 holding U+FFFD must stay as it is, not be taken for Latin-1 ("Ã¯Â¿Â½").
  EXPECT_TRUE(findByName(de, "Punktum S\xEF\xBF\xBD" "dharz (1080p)").has_value());
}

TEST(RealPlaylistDetailTest, AddressesWithPunctuationStayExact) {
  LOAD_OR_SKIP(br, "br.m3u");
  bool found = false;
  for (const Channel& c : br.channels) {
    found = found || c.url == "https://v4-slbps-sambavideos.akamaized.net/live/3282,8114,"
                              "ec4b5a296d97fa99bf990662f5b4f8e1;base64np;Mc8VDxqNjXKCAf8!/"
                              "amlst:Mc_tFgfGiHOdQXPB/chunklist_.m3u8";
  }
  EXPECT_TRUE(found);
  LOAD_OR_SKIP(ru, "ru.m3u");
  const std::optional<Channel> mir = findByName(ru, "\xD0\x9Cir +3 (512p) [Not 24/7]");
  ASSERT_TRUE(mir.has_value());
  EXPECT_EQ(mir->tvgId, "MirPlus3.ru");
}

}  // namespace
}  // namespace zephra
