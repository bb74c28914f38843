#include "common/stream_address.h"

#include <string>

#include <gtest/gtest.h>

namespace zephra {
namespace {

TEST(StreamAddress, OnlyNetworkStreamSchemesWithSlashesPass) {
  const struct {
    std::string address;
    bool played;
    const char* scheme;
  } cases[] = {
      {"http://h/a.ts", true, "http"},
      {"HTTPS://h/a.m3u8", true, "https"},
      {"rtsp://h/s", true, "rtsp"},
      {"rtsps://h/s", true, "rtsps"},
      {"rtmp://h/app/s", true, "rtmp"},
      {"rtmps://h/app/s", true, "rtmps"},
      {"rtp://239.0.0.1:5004", true, "rtp"},
      {"udp://@239.0.0.1:1234", true, "udp"},
      {"srt://h:9000", true, "srt"},
      {"mms://h/s", true, "mms"},
      {"mmsh://h/s", true, "mmsh"},
      {"av://lavfi:sine", false, "av"},
      {"file:///etc/passwd", false, "file"},
      {"concat:/a|/b", false, "concat"},
      {"subfile,,start,0,end,0,,:/etc/passwd", false, ""},
      {"lavfi://anullsrc", false, "lavfi"},
      {"ytdl://x", false, "ytdl"},
      {"/home/user/video.ts", false, ""},
      {"video.ts", false, ""},
      {"http:/etc/passwd", false, "http"},   // without "//" the engine opens a local file
      {"http:relative", false, "http"},
      {" http://h/", false, ""},
      {"http2://h/", false, "http2"},
      {"https+x://h/", false, "https+x"},
      {"http://h/a\nfile:///x", false, "http"},
      {std::string("http://h/\0x", 11), false, "http"},
      {"", false, ""},
      {"1http://h", false, ""},
      {"://h", false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isNetworkStreamAddress(c.address), c.played) << c.address;
    EXPECT_EQ(addressScheme(c.address), c.scheme) << c.address;
  }
}

TEST(StreamAddress, OnlyTheSchemeIsPutInLowerCase) {
  EXPECT_EQ(withLowerCaseScheme("HtTp://Host/Path?Q=A"), "http://Host/Path?Q=A");
  EXPECT_EQ(withLowerCaseScheme("no scheme here"), "no scheme here");
}

}  // namespace
}  // namespace zephra
