#include "common/catchup/catchup.h"

#include <string>

#include <gtest/gtest.h>

namespace zephra::catchup {
namespace {

// 2023-11-14 22:13:20 UTC, a programme of 30 minutes seen an hour after it began.
constexpr Times kTimes{1700000000, 1700001800, 1700003600};

TEST(Catchup, EveryFormBuildsItsAddress) {
  const struct {
    const char *address, *mode, *source;
    double correction;
    const char* expected;  // "" when there is no archive
  } cases[] = {
      {"http://h/c.m3u8", "default", "http://a/{utc}/{utcend}/{lutc}", 0, "http://a/1700000000/1700001800/1700003600"},
      {"http://h/c?s={utc}", "default", "", 0, "http://h/c?s=1700000000"},
      {"http://h/c.m3u8", "default", "", 0, ""},
      {"http://h/c.m3u8", "append", "?start=${start}&d=${duration}", 0, "http://h/c.m3u8?start=1700000000&d=1800"},
      {"http://h/c.m3u8", "append", "", 0, ""},
      {"http://h/c.m3u8", "shift", "", 0, "http://h/c.m3u8?utc=1700000000&lutc=1700003600"},
      {"http://h/c.m3u8?token=1", "SHIFT", "", 0, "http://h/c.m3u8?token=1&utc=1700000000&lutc=1700003600"},
      {"http://h/c/index.m3u8?token=1", "flussonic", "", 0, "http://h/c/index-1700000000-1800.m3u8?token=1"},
      {"http://h/c/video.m3u8", "flussonic-hls", "", 0, "http://h/c/video-1700000000-1800.m3u8"},
      {"http://h/c/mpegts?token=1", "fs", "", 0, "http://h/c/timeshift_abs-1700000000.ts?token=1"},
      {"http://h/c", "flussonic-ts", "", 0, "http://h/c/timeshift_abs-1700000000.ts"},
      {"http://h/c/mpegts", "flussonic-hls", "", 0, "http://h/c/index-1700000000-1800.m3u8"},
      {"http://h:8080/live/u/p/42.ts", "xc", "", 0, "http://h:8080/timeshift/u/p/30/2023-11-14:22-13/42.ts"},
      {"http://h:8080/u/p/42", "xc", "", 0, "http://h:8080/timeshift/u/p/30/2023-11-14:22-13/42.ts"},
      {"http://h/c.m3u8", "xc", "", 0, ""},
      {"http://h/live/u/p/42", "xc", "", 0, ""},  // account addresses: /live/ ones end in .ext, the id is a number
      {"http://h/u/p/4x", "xc", "", 0, ""},
      {"http://h/movie/u/p/42.mp4", "xc", "", 0, ""},
      {"http://h:8080/live/u/p/42.ts", "", "", 0, "http://h:8080/timeshift/u/p/30/2023-11-14:22-13/42.ts"},
      {"http://h/c.m3u8", "", "", 0, "http://h/c.m3u8?utc=1700000000&lutc=1700003600"},
      {"http://h/c.m3u8", "", "http://a/{utc}", 0, "http://a/1700000000"},
      {"http://h/c.m3u8", "vod", "", 0, ""},
      // The correction moves every time, fractions of an hour included.
      {"http://h/c.m3u8", "default", "http://a/{utc}/{lutc}/{H}{M}", -1.5, "http://a/1699994600/1699998200/2043"},
      {"http://h:8080/live/u/p/42.ts", "xc", "", 2, "http://h:8080/timeshift/u/p/30/2023-11-15:00-13/42.ts"},
      {"http://h/c.m3u8", "shift", "", 1e300, "http://h/c.m3u8?utc=1700000000&lutc=1700003600"},
  };
  for (const auto& c : cases) {
    Settings settings{c.address, c.mode, c.source, 3, c.correction, std::nullopt};
    EXPECT_EQ(archiveAddress(settings, kTimes).value_or(""), c.expected) << c.address << " " << c.mode;
  }
  Settings account{"http://h/whatever", "xc", "", 3, 0, XcArchive{"https://x:1/", "u", "p", "7"}};
  EXPECT_EQ(archiveAddress(account, kTimes).value_or(""), "https://x:1/timeshift/u/p/30/2023-11-14:22-13/7.ts");
}

TEST(Catchup, EveryPlaceholderIsFilledAndUnknownOnesStay) {
  const struct {
    const char *pattern, *expected;
  } cases[] = {
      {"{utc}{utcend}{lutc}", "170000000017000018001700003600"},
      {"${start}${end}${now}${timestamp}", "1700000000170000180017000036001700003600"},
      {"{duration} ${duration} {duration:60} {offset:60} ${offset}", "1800 1800 30 60 3600"},
      {"{Y}-{m}-{d} {H}:{M}:{S}", "2023-11-14 22:13:20"},
      {"{utc:Y/m/d-H.M.S} {utcend:YmdHMS}", "2023/11/14-22.13.20 20231114224320"},
      {"{unknown} ${utc} {duration:0} {duration:x} {offset} {utc}x{", "{unknown} ${utc} {duration:0} {duration:x} {offset} 1700000000x{"},
      {"{{utc}} ${start", "{1700000000} ${start"},
      {"{duration:99999999999999999999}", "{duration:99999999999999999999}"},
  };
  for (const auto& c : cases) EXPECT_EQ(expandTemplate(c.pattern, kTimes), c.expected) << c.pattern;
  EXPECT_EQ(expandTemplate("{utc:Y}", {0, 0, 0}), "1970");
  EXPECT_EQ(expandTemplate("{utc}", {-1, 0, 0}), "{utc}");
}

TEST(Catchup, HostileTemplatesAndTimesGiveNothing) {
  const struct {
    const char *address, *mode, *source;
    Times times;
  } cases[] = {
      {"http://h/c", "default", "http://a/{utc}\nfile:///etc/passwd", kTimes},
      {"http://h/c", "default", "http://a/{utc} http://b/", kTimes},
      {"http://h/c", "append", "http://evil/{utc}", kTimes},
      {"http://h/c", "append", "|User-Agent=x", kTimes},
      {"http://h/c", "append", "\x7f", kTimes},
      {"http://h/c", "default", "file:///{utc}", kTimes},
      {"http://h/c", "default", "{utc}", kTimes},
      {"http://h/c", "shift", "", {kTimes.start, kTimes.start - 1, kTimes.now}},  // ends before it starts
      {"http://h/c", "shift", "", {kTimes.now + 1, kTimes.now + 2, kTimes.now}},  // in the future
      {"http://h/c", "shift", "", {-5, 0, 0}},
      {"http://h/c", "shift", "", {0, INT64_MAX, INT64_MAX}},
      {"http://h/c", "shift", "", {INT64_MIN, INT64_MAX, 0}},
  };
  for (const auto& c : cases) {
    Settings settings{c.address, c.mode, c.source, 3, 0, std::nullopt};
    EXPECT_EQ(archiveAddress(settings, c.times), std::nullopt) << c.source;
  }
  std::string huge = "http://a/";
  for (int i = 0; i < 200; ++i) huge += "{utc:YYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYY}";
  EXPECT_EQ(archiveAddress({"http://h/c", "default", huge, 3, 0, std::nullopt}, kTimes), std::nullopt);
  for (const XcArchive& account : {XcArchive{"http://x", "u/../", "p", "1"}, XcArchive{"http://x", "u", "p\n", "1"},
                                   XcArchive{"file://x", "u", "p", "1"}, XcArchive{"http://x", "u", "p", "1a"}})
    EXPECT_EQ(archiveAddress({"http://h/c", "xc", "", 3, 0, account}, kTimes), std::nullopt) << account.user;
}

TEST(Catchup, WindowsAndAttributeNumbers) {
  const struct {
    const char* mode;
    int days;
    std::int64_t start;
    bool inside;
  } windows[] = {
      {"shift", 3, kTimes.now - 3 * 86400, true},
      {"shift", 3, kTimes.now - 3 * 86400 - 1, false},
      {"shift", 0, kTimes.now - 86401, false},  // a form without days: one day
      {"shift", 5000, kTimes.now - 31 * 86400, false},
      {"shift", 3, kTimes.now + 1, false},
      {"", 0, kTimes.now - 60, false},
      {"append", 3, kTimes.now - 60, false},  // append without a source is no archive
  };
  for (const auto& w : windows) {
    Settings settings{"http://h/c", w.mode, "", w.days, 0, std::nullopt};
    EXPECT_EQ(inWindow(settings, w.start, kTimes.now), w.inside) << w.mode << " " << w.days << " " << w.start;
  }
  const struct {
    const char* text;
    int days;
    double correction;
  } numbers[] = {{"7", 7, 7}, {"", 0, 0}, {"-1", 0, -1}, {"+2.5", 0, 2.5}, {"99999999999", kMaxDays, 0},
                 {"1e3", 0, 0}, {"0x10", 0, 0}, {" 3", 0, 0}, {"25", 25, 0}, {"-0.25", 0, -0.25},
                 {"1.", 0, 0}, {".5", 0, 0}};
  for (const auto& n : numbers) {
    EXPECT_EQ(parseDays(n.text), n.days) << n.text;
    EXPECT_DOUBLE_EQ(parseCorrection(n.text), n.correction) << n.text;
  }
}

}  // namespace
}  // namespace zephra::catchup
