#include "local_server/playlist/m3u_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/text.h"
#include "local_server/playlist/channel_id.h"
#include "local_server/playlist/text_encoding.h"

namespace zephra {
namespace {

using namespace std::string_literals;

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size()) {
    text.replace(pos, from.size(), to);
  }
  return text;
}

const char* const kSample =
    "#EXTM3U url-tvg=\"http://epg.example/guide.xml\" x-tvg-url=\"\"\n"
    "#EXTINF:-1 tvg-id=\"one.us\" tvg-name=\"One\" tvg-logo=\"http://l/1.png\" "
    "group-title=\"News\",One HD\n"
    "#EXTVLCOPT:http-user-agent=Mozilla/5.0 (X11, Linux)\n"
    "http://example.com/one.m3u8\n"
    "\n"
    "# a plain comment\n"
    "#EXTINF:0,Two, the Second\n"
    "   http://example.com/two?a=1&b=2|x   \n"
    "#EXTINF:-1 tvg-id=\"three\",Three\n"
    "#EXTGRP:Sports\n"
    "rtmp://example.com/live/three\n";

void expectSameChannels(const Playlist& a, const Playlist& b) {
  ASSERT_EQ(a.channels.size(), b.channels.size());
  for (std::size_t i = 0; i < a.channels.size(); ++i) {
    EXPECT_EQ(a.channels[i].id, b.channels[i].id) << i;
    EXPECT_EQ(a.channels[i].name, b.channels[i].name) << i;
    EXPECT_EQ(a.channels[i].url, b.channels[i].url) << i;
    EXPECT_EQ(a.channels[i].group, b.channels[i].group) << i;
    EXPECT_EQ(a.channels[i].logo, b.channels[i].logo) << i;
  }
}

TEST(M3uParserTest, ReadsEntriesInFileOrder) {
  const Playlist p = parseM3u(kSample);
  EXPECT_TRUE(p.warnings.empty());
  ASSERT_EQ(p.channels.size(), 3u);
  const Channel& one = p.channels[0];
  EXPECT_EQ(one.name, "One HD");
  EXPECT_EQ(one.url, "http://example.com/one.m3u8");
  EXPECT_EQ(one.group, "News");
  EXPECT_EQ(one.logo, "http://l/1.png");
  EXPECT_EQ(one.tvgId, "one.us");
  EXPECT_EQ(one.tvgName, "One");
  EXPECT_EQ(one.id, channelId(one.url, one.name));
  EXPECT_EQ(p.channels[1].name, "Two, the Second");
  EXPECT_EQ(p.channels[1].url, "http://example.com/two?a=1&b=2|x");
  EXPECT_EQ(p.channels[1].group, "");
  EXPECT_EQ(p.channels[2].url, "rtmp://example.com/live/three");
  EXPECT_EQ(p.channels[2].group, "Sports");
}

TEST(M3uParserTest, LineEndingsAndByteOrderMarkDoNotChangeTheResult) {
  const Playlist lf = parseM3u(kSample);
  expectSameChannels(lf, parseM3u(replaceAll(kSample, "\n", "\r\n")));
  expectSameChannels(lf, parseM3u(replaceAll(kSample, "\n", "\r")));
  expectSameChannels(lf, parseM3u("\xEF\xBB\xBF"s + kSample));
  const Playlist noFinalNewline = parseM3u(std::string(kSample, std::strlen(kSample) - 1));
  expectSameChannels(lf, noFinalNewline);
}

TEST(M3uParserTest, WarningsCountCrLfAsOneLine) {
  const Playlist p = parseM3u("#EXTM3U\r\n\r\n#EXTINF:-1,Lost\r\n#EXTINF:-1,Kept\r\nhttp://k\r\n");
  ASSERT_EQ(p.warnings.size(), 1u);
  EXPECT_EQ(p.warnings[0], "line 3: #EXTINF without a stream address");
  ASSERT_EQ(p.channels.size(), 1u);
  EXPECT_EQ(p.channels[0].name, "Kept");
}

TEST(M3uParserTest, EntriesThatAreNotNetworkStreamsAreLeftOutAndCounted) {
  const Playlist p = parseM3u(
      "#EXTM3U\n#EXTINF:-1,Good\nhttp://g/1.ts\n"
      "#EXTINF:-1 group-title=\"Bad\",Writer\n"
      "av://lavfi:sine=d=0.3,ametadata=mode=print:file=/tmp/x\n"
      "#EXTGRP:Local\n/home/user/video.ts\n"
      "#EXTINF:-1,Also good\nudp://@239.0.0.1:1234\n");
  ASSERT_EQ(p.channels.size(), 2u);
  EXPECT_EQ(p.channels[0].name, "Good");
  EXPECT_EQ(p.channels[1].name, "Also good");
  EXPECT_EQ(p.channels[1].group, "") << "a left-out entry's group must not pass to the next";
  EXPECT_EQ(p.leftOutCount, 2u);
  EXPECT_EQ(p.leftOutFirstLine, 5u);
  ASSERT_EQ(p.warnings.size(), 2u);
  EXPECT_EQ(p.warnings[0].rfind("line 5: not a network stream address, left out: av://lavfi", 0), 0u)
      << p.warnings[0];
}

TEST(M3uParserTest, HeadersFromAttributesOptionLinesAndThePipeForm) {
  const struct {
    const char* entry;  // the lines after #EXTINF:-1 and before the channel name
    const char* userAgent;
    const char* referrer;
  } cases[] = {
      {" user-agent=\"UA, with comma\",N\nhttp://h/a", "UA, with comma", ""},
      {" http-user-agent=\"U\" http-referrer=\"http://r/\",N\nhttp://h/a", "U", "http://r/"},
      {",N\n#EXTVLCOPT:http-user-agent=Mozilla/5.0 (X11; Linux)\n#EXTVLCOPT:http-referrer=http://r/\nhttp://h/a",
       "Mozilla/5.0 (X11; Linux)", "http://r/"},
      {",N\nhttp://h/a|User-Agent=VLC%2F3&Referer=http%3A%2F%2Fr%2F", "VLC/3", "http://r/"},
      // The more specific form wins where it names a header: pipe over option over attribute.
      {" user-agent=\"attr\" http-referrer=\"attr\",N\n#EXTVLCOPT:http-user-agent=opt\nhttp://h/a",
       "opt", "attr"},
      {" user-agent=\"attr\",N\n#EXTVLCOPT:http-user-agent=opt\nhttp://h/a|User-Agent=pipe", "pipe", ""},
      // Other player options change nothing.
      {",N\n#EXTVLCOPT:network-caching=1000\nhttp://h/a", "", ""},
  };
  for (const auto& c : cases) {
    const std::string text = "#EXTM3U\n#EXTINF:-1"s + c.entry + "\n";
    const Playlist p = parseM3u(text);
    ASSERT_EQ(p.channels.size(), 1u) << text;
    const Channel& channel = p.channels[0];
    EXPECT_EQ(channel.url, "http://h/a") << text;
    EXPECT_EQ(channel.headers.userAgent, c.userAgent) << text;
    EXPECT_EQ(channel.headers.referrer, c.referrer) << text;
    EXPECT_TRUE(p.warnings.empty()) << text;
  }
  // Headers belong to one entry, and an option line before its #EXTINF still counts.
  const Playlist p = parseM3u(
      "#EXTVLCOPT:http-user-agent=first\n#EXTINF:-1,A\nhttp://h/a\n#EXTINF:-1,B\nhttp://h/b\n");
  ASSERT_EQ(p.channels.size(), 2u);
  EXPECT_EQ(p.channels[0].headers.userAgent, "first");
  EXPECT_TRUE(p.channels[1].headers.empty());
  // The id stays that of the address and name, so favorites survive a list that adds headers.
  EXPECT_EQ(p.channels[0].id, parseM3u("#EXTINF:-1,A\nhttp://h/a\n").channels[0].id);
  EXPECT_EQ(playValue(p.channels[0]), "http://h/a|User-Agent=first");
  EXPECT_EQ(playValue(p.channels[1]), "http://h/b");
}

TEST(M3uParserTest, HostileHeaderValuesNeverReachAChannel) {
  const Playlist p = parseM3u(
      "#EXTINF:-1,Injected\nhttp://h/a|User-Agent=x%0D%0AHost:%20evil\n"
      "#EXTINF:-1,Local\nfile:///etc/passwd|User-Agent=x\n"
      "#EXTINF:-1 user-agent=\"a\x01b\",Control\n#EXTVLCOPT:http-referrer=r\x7f\nhttp://h/c\n");
  ASSERT_EQ(p.channels.size(), 1u);
  EXPECT_EQ(p.channels[0].name, "Control");
  for (const char c : p.channels[0].headers.userAgent + p.channels[0].headers.referrer)
    EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f);
  EXPECT_EQ(p.leftOutCount, 1u);  // the local file; the injection is left out with its reason
  ASSERT_GE(p.warnings.size(), 2u);
  EXPECT_NE(p.warnings[0].find("line 2: the stream's user agent holds a control character"),
            std::string::npos)
      << p.warnings[0];
}

TEST(M3uParserTest, EntryWithoutAddressAtEndIsReportedAndDropped) {
  const Playlist p = parseM3u("#EXTINF:-1,A\nhttp://a\n#EXTINF:-1,B\n#EXTVLCOPT:x=y\n\n");
  ASSERT_EQ(p.channels.size(), 1u);
  ASSERT_EQ(p.warnings.size(), 1u);
  EXPECT_EQ(p.warnings[0], "line 3: #EXTINF without a stream address");
}

TEST(M3uParserTest, NameFallsBackToTvgNameThenToAddress) {
  const Playlist p = parseM3u(
      "http://bare/stream.ts\n"
      "#EXTINF:-1 tvg-name=\"From Attribute\",\n"
      "http://a\n"
      "#EXTINF:-1,   \n"
      "http://b\n");
  ASSERT_EQ(p.channels.size(), 3u);
  EXPECT_EQ(p.channels[0].name, "http://bare/stream.ts");
  EXPECT_EQ(p.channels[1].name, "From Attribute");
  EXPECT_EQ(p.channels[2].name, "http://b");
}

TEST(M3uParserTest, ExtGrpAppliesToOneEntryAndGroupTitleWins) {
  const Playlist p = parseM3u(
      "#EXTGRP:Before\n"
      "#EXTINF:-1,A\nhttp://a\n"
      "#EXTINF:-1,B\nhttp://b\n"
      "#EXTINF:-1 group-title=\"Title\",C\n#EXTGRP:Ignored\nhttp://c\n"
      "#EXTINF:-1,D\nhttp://d\n"
      "#extgrp: lower case \nhttp://e\n");
  ASSERT_EQ(p.channels.size(), 5u);
  EXPECT_EQ(p.channels[0].group, "Before");
  EXPECT_EQ(p.channels[1].group, "");
  EXPECT_EQ(p.channels[2].group, "Title");
  EXPECT_EQ(p.channels[3].group, "");
  EXPECT_EQ(p.channels[4].group, "lower case");
}

TEST(M3uParserTest, Latin1LinesAreDecodedUtf8LinesKept) {
  const Playlist p = parseM3u(
      "#EXTINF:-1 group-title=\"Regional\xE9\",M\xFCnchen TV\nhttp://m/\xE4.ts\n"
      "#EXTINF:-1,K\xC3\xB6ln \xEF\xBF\xBD\nhttp://k\n");
  ASSERT_EQ(p.channels.size(), 2u);
  EXPECT_EQ(p.channels[0].name, "M\xC3\xBCnchen TV");
  EXPECT_EQ(p.channels[0].group, "Regional\xC3\xA9");
  EXPECT_EQ(p.channels[0].url, "http://m/\xC3\xA4.ts");
  EXPECT_EQ(p.channels[1].name, "K\xC3\xB6ln \xEF\xBF\xBD");
}

TEST(M3uParserTest, Utf16FileWithByteOrderMark) {
  const std::string utf8 = "#EXTM3U\r\n#EXTINF:-1,\xE6\x97\xA5\xE6\x9C\xAC\r\nhttp://jp\r\n";
  std::string utf16 = "\xFF\xFE";
  for (unsigned char c : std::string("#EXTM3U\r\n#EXTINF:-1,")) utf16 += {static_cast<char>(c), '\0'};
  utf16 += "\xE5\x65\x2C\x67"s;  // U+65E5 U+672C little-endian
  for (unsigned char c : std::string("\r\nhttp://jp\r\n")) utf16 += {static_cast<char>(c), '\0'};
  expectSameChannels(parseM3u(utf8), parseM3u(utf16));
  EXPECT_EQ(parseM3u(utf16).channels.at(0).name, "\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(M3uParserTest, ExactDuplicatesCollapseToTheFirst) {
  const Playlist p = parseM3u(
      "#EXTINF:-1 group-title=\"First\",Same\nhttp://s\n"
      "#EXTINF:-1,Other Name\nhttp://s\n"
      "#EXTINF:-1 group-title=\"Second\",Same\nhttp://s\n");
  ASSERT_EQ(p.channels.size(), 2u);
  EXPECT_EQ(p.channels[0].group, "First");
  EXPECT_EQ(p.channels[1].name, "Other Name");
  EXPECT_NE(p.channels[0].id, p.channels[1].id);
  ASSERT_EQ(p.warnings.size(), 1u);
  EXPECT_EQ(p.warnings[0].rfind("line 6: ", 0), 0u) << p.warnings[0];
}

TEST(M3uParserTest, WarningsQuoteLongNamesShortenedOnACharacterBoundary) {
  std::string name;
  for (int i = 0; i < 100; ++i) name += "\xC3\xA9";  // 200 bytes of two-byte characters
  const std::string entry = "#EXTINF:-1,x" + name + "\nhttp://d\n";
  const Playlist p = parseM3u(entry + entry);
  ASSERT_EQ(p.warnings.size(), 1u);
  EXPECT_LT(p.warnings[0].size(), 140u);
  EXPECT_TRUE(text::isValidUtf8(p.warnings[0])) << p.warnings[0];
}

TEST(M3uParserTest, DuplicatesFoundInAListOfBareAddresses) {
  // One entry per line is the densest list there is: more entries than the id set is first
  // sized for, then repeats of the earliest ones.
  std::string text;
  for (int i = 0; i < 9000; ++i) text += "http://h/" + std::to_string(i) + "\n";
  for (int i = 0; i < 200; ++i) text += "http://h/" + std::to_string(i) + "\n";
  const Playlist p = parseM3u(text);
  ASSERT_EQ(p.channels.size(), 9000u);
  EXPECT_EQ(p.channels[8999].url, "http://h/8999");
  EXPECT_EQ(p.warnings.size(), 101u);  // 100 duplicates, then a summary of the rest
  EXPECT_EQ(p.warnings.back(), "100 more warnings not shown");
}

TEST(M3uParserTest, IdsDependOnlyOnAddressAndName) {
  const Playlist a = parseM3u("#EXTINF:-1 tvg-id=\"x\" group-title=\"G\",Name\nhttp://n\n");
  const Playlist b = parseM3u(
      "#EXTM3U\n#EXTINF:-1,First\nhttp://f\n#EXTINF:5 tvg-logo=\"l\",  Name \r\n http://n \n");
  ASSERT_EQ(a.channels.size(), 1u);
  ASSERT_EQ(b.channels.size(), 2u);
  EXPECT_EQ(a.channels[0].id, b.channels[1].id);
  EXPECT_EQ(a.channels[0].id.size(), 16u);
}

TEST(M3uParserTest, VeryLongLinesSurviveWhole) {
  const std::string name(1 << 20, 'n');
  const std::string url = "http://long/" + std::string(2 << 20, 'u');
  const Playlist p = parseM3u("#EXTINF:-1 tvg-id=\"" + std::string(100000, 'i') + "\"," + name +
                              "\n" + url + "\n");
  ASSERT_EQ(p.channels.size(), 1u);
  EXPECT_EQ(p.channels[0].name, name);
  EXPECT_EQ(p.channels[0].url, url);
  EXPECT_EQ(p.channels[0].tvgId.size(), 100000u);
}

TEST(M3uParserTest, ControlCharactersNeverReachNamesOrAddresses) {
  const Playlist p = parseM3u(
      "#EXTINF:-1 group-title=\"G\x01\",Na\0me\x1B\n"
      "http://x/\0evil\n"
      "http://good\n"s);
  ASSERT_EQ(p.channels.size(), 1u);
  EXPECT_EQ(p.channels[0].name, "Na me");
  EXPECT_EQ(p.channels[0].group, "G");
  EXPECT_EQ(p.channels[0].url, "http://good");
  ASSERT_EQ(p.warnings.size(), 1u);
  EXPECT_EQ(p.warnings[0], "line 2: not a stream address (control characters)");
}

TEST(M3uParserTest, BinaryGarbageYieldsCleanOutputAndFewWarnings) {
  std::mt19937 random(12345);
  std::string junk(1 << 20, '\0');
  for (char& c : junk) c = static_cast<char>(random() & 0xFF);
  for (std::size_t i = 0; i < junk.size(); i += 997) junk.replace(i, 8, "#EXTINF:");
  const Playlist p = parseM3u(junk);
  EXPECT_LE(p.warnings.size(), 101u);
  for (const Channel& c : p.channels) {
    EXPECT_TRUE(text::isValidUtf8(c.url) && text::isValidUtf8(c.name) && text::isValidUtf8(c.group));
    EXPECT_FALSE(hasControlChars(c.url) || hasControlChars(c.name)) << c.url;
    EXPECT_FALSE(c.url.empty() || c.url[0] == '#');
  }
}

TEST(M3uParserTest, EmptyAndHeaderOnlyInputsHaveNoChannels) {
  for (const std::string& text : {""s, "\xEF\xBB\xBF"s, "#EXTM3U"s, "\n\n \t\r\n"s, "\xFF\xFE"s,
                                 "#EXTM3U\n#EXTVLCOPT:a=b\n# comment\n"s}) {
    const Playlist p = parseM3u(text);
    EXPECT_TRUE(p.channels.empty());
    EXPECT_TRUE(p.warnings.empty());
  }
}

class M3uFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("zephra-m3u-" + std::to_string(std::random_device()()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }
  std::filesystem::path m_dir;
};

TEST_F(M3uFileTest, LoadsAFileLargerThanOneReadBuffer) {
  std::string text = "#EXTM3U\n";
  for (int i = 0; i < 3000; ++i) {
    text += "#EXTINF:-1,Channel " + std::to_string(i) + "\nhttp://h/" + std::to_string(i) + "\n";
  }
  const auto path = m_dir / "big.m3u";
  std::ofstream(path, std::ios::binary) << text;
  const Playlist p = loadM3uFile(path.string());
  ASSERT_EQ(p.channels.size(), 3000u);
  EXPECT_EQ(p.channels.back().url, "http://h/2999");
}

TEST_F(M3uFileTest, UnreadablePathsThrowWithThePath) {
  const std::string missing = (m_dir / "missing.m3u").string();
  try {
    loadM3uFile(missing);
    FAIL() << "no error";
  } catch (const PlaylistError& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  EXPECT_THROW(loadM3uFile(m_dir.string()), PlaylistError);
}

}  // namespace
}  // namespace zephra

namespace zephra {
namespace {

TEST(M3uHeader, GuideAddressesOfUrlTvgAndXTvgUrl) {
  const struct {
    std::string header;
    std::vector<std::string> expected;
  } cases[] = {
      {"#EXTM3U url-tvg=\"http://a.example/e.xml\"", {"http://a.example/e.xml"}},
      {"#EXTM3U x-tvg-url=\"http://a/1.xml,  http://b/2.xml.gz\" URL-TVG=http://a/1.xml",
       {"http://a/1.xml", "http://b/2.xml.gz"}},
      {"#extm3u tvg-shift=\"1\"", {}},
      {"#EXTM3U url-tvg=\"\"", {}},
      {"#EXTM3U url-tvg=\"http://a/1.xml", {"http://a/1.xml"}},  // unclosed quote: to the end
  };
  for (const auto& c : cases)
    EXPECT_EQ(parseM3u(c.header + "\n#EXTINF:-1,A\nhttp://s/a\n").guideAddresses, c.expected)
        << c.header;
  std::string many = "#EXTM3U url-tvg=\"";
  for (int i = 0; i < 100; ++i) many += "http://g/" + std::to_string(i) + ".xml,";
  EXPECT_EQ(parseM3u(many + "\"\n").guideAddresses.size(), 16u);
}

// Catch-up attributes by their every name; the #EXTM3U line's are the default of each attribute
// an entry does not give itself. The values survive the compact channel list.
TEST(M3uHeader, CatchupAttributesAndTheirDefaults) {
  const struct {
    std::string header, attributes;
    std::string mode, source;
    int days;
    double correction;
  } cases[] = {
      {"#EXTM3U", "catchup=\"default\" catchup-source=\"http://a/{utc}\" catchup-days=\"7\" catchup-correction=\"-1.5\"",
       "default", "http://a/{utc}", 7, -1.5},
      {"#EXTM3U", "CATCHUP-TYPE=flussonic timeshift=\"3\"", "flussonic", "", 3, 0},
      {"#EXTM3U", "tvg-rec=\"2\" catchup-days=\"5\"", "", "", 5, 0},
      {"#EXTM3U catchup=\"shift\" catchup-days=\"4\" catchup-correction=\"2\"", "", "shift", "", 4, 2},
      {"#EXTM3U catchup=\"shift\" catchup-days=\"4\"", "catchup=\"append\" catchup-source=\"?u={utc}\" catchup-days=\"0\"",
       "append", "?u={utc}", 0, 0},
      {"#EXTM3U", "catchup-days=\"99999\" catchup-correction=\"1e9\"", "", "", 30, 0},
      {"#EXTM3U", "catchup-days=\"-3\" catchup-correction=\"abc\"", "", "", 0, 0},
  };
  for (const auto& c : cases) {
    const Playlist playlist = parseM3u(c.header + "\n#EXTINF:-1 " + c.attributes + ",A\nhttp://s/a\n");
    ASSERT_EQ(playlist.channels.size(), 1u) << c.attributes;
    const Channel channel = playlist.channels[0];
    EXPECT_EQ(channel.catchupMode, c.mode) << c.attributes;
    EXPECT_EQ(channel.catchupSource, c.source) << c.attributes;
    EXPECT_EQ(channel.catchupDays, c.days) << c.attributes;
    EXPECT_DOUBLE_EQ(channel.catchupCorrection, c.correction) << c.attributes;
  }
}

}  // namespace
}  // namespace zephra
