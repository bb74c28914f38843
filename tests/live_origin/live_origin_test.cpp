// The live origin itself: looping keeps one unbroken stream, playlists slide with the clock,
// faults answer as asked, and what it reads is checked.
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "tests/live_origin/live_origin.h"
#include "tests/live_origin/ts_index.h"

namespace zephra::live {
namespace {

std::string content(const std::string& name) {
  std::ifstream in(std::string(ZEPHRA_LIVE_CONTENT) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint64_t firstVideoPts(const char* packet) {
  const auto* p = reinterpret_cast<const uint8_t*>(packet);
  const size_t start = 4 + ((p[3] & 0x20) ? 1 + p[4] : 0);
  const uint8_t* s = p + start + 9;
  return (uint64_t((s[0] >> 1) & 7) << 30) | (uint64_t(s[1]) << 22) | (uint64_t(s[2] >> 1) << 15) |
         (uint64_t(s[3]) << 7) | (s[4] >> 1);
}

TEST(LiveOrigin, LoopsAreOneUnbrokenStream) {
  const TsIndex ts(content("ts/gop1.ts"));
  EXPECT_DOUBLE_EQ(ts.duration(), 12.0);
  // Two loops in a row: every PID's continuity counter goes on by one per payload packet, and
  // the second loop's first video frame is stamped one loop later than the first loop's.
  std::vector<uint8_t> counters;
  std::map<unsigned, int> last;
  std::vector<uint64_t> firstPts;
  char packet[kTsPacket];
  for (uint64_t loop = 0; loop < 2; ++loop) {
    bool seen = false;
    for (size_t i = 0; i < ts.packets(); ++i) {
      ts.copyPacket(i, loop, counters, packet);
      const auto* p = reinterpret_cast<const uint8_t*>(packet);
      const unsigned pid = ((p[1] & 0x1f) << 8) | p[2];
      if (p[3] & 0x10) {
        if (last.count(pid)) {
          ASSERT_EQ(p[3] & 0x0f, (last[pid] + 1) & 0x0f) << "pid " << pid << " packet " << i;
        }
        last[pid] = p[3] & 0x0f;
      }
      const size_t start = 4 + ((p[3] & 0x20) ? 1 + p[4] : 0);
      if (!seen && (p[1] & 0x40) && start + 14 <= kTsPacket && p[start + 3] >= 0xe0 && p[start + 3] <= 0xef) {
        firstPts.push_back(firstVideoPts(packet));
        seen = true;
      }
    }
  }
  ASSERT_EQ(firstPts.size(), 2u);
  EXPECT_EQ(firstPts[1] - firstPts[0], 12u * 90000u);
  // Keyframes every second: never more than a second of stream to the end of the next one.
  for (size_t from : {size_t(0), ts.packets() / 3, ts.packets() - 1})
    EXPECT_LT(ts.bytesToKeyframeEnd(from), ts.data().size() / 12 + 200 * 1024) << from;
}

TEST(LiveOrigin, RefusesWhatIsNotAStreamItCanServe) {
  std::string noClock(kTsPacket * 4, '\0');
  for (size_t i = 0; i < noClock.size(); i += kTsPacket) noClock[i] = 0x47;
  const std::string cases[] = {"", std::string(187, 0x47), std::string(kTsPacket, 'x'), noClock,
                               content("ts/gop1.ts").substr(0, kTsPacket * 3 + 1)};
  for (const auto& data : cases) EXPECT_THROW(TsIndex{data}, std::runtime_error) << data.size();
}

TEST(LiveOrigin, ServesPlaylistsStreamsAndFaultsAsAsked) {
  LiveOrigin origin(ZEPHRA_LIVE_CONTENT);
  origin.start();
  httplib::Client client("127.0.0.1", origin.port());
  const auto master = client.Get("/hls/master.m3u8?rtt=10");
  ASSERT_TRUE(master);
  for (const char* variant : {"1080/live.m3u8?rtt=10", "720/live.m3u8?rtt=10", "360/live.m3u8?rtt=10"})
    EXPECT_NE(master->body.find(variant), std::string::npos) << master->body;
  const auto media = client.Get("/hls/720/live.m3u8");
  ASSERT_TRUE(media);
  const size_t at = media->body.find("#EXT-X-MEDIA-SEQUENCE:");
  ASSERT_NE(at, std::string::npos);
  const long first = std::atol(media->body.c_str() + at + 22);
  EXPECT_NE(media->body.find("seg_" + std::to_string(first) + ".ts"), std::string::npos) << media->body;
  EXPECT_NE(media->body.find("seg_" + std::to_string(first + 4) + ".ts"), std::string::npos) << media->body;
  EXPECT_EQ(client.Get("/hls/720/seg_" + std::to_string(first + 100) + ".ts")->status, 404) << "not published yet";
  const auto segment = client.Get("/hls/360/seg_" + std::to_string(first) + ".ts");
  ASSERT_TRUE(segment);
  EXPECT_EQ(segment->body, content("hls/360/seg_00" + std::to_string(first % 6) + ".ts")) << "the loop has 6";

  // A live channel is joined at a packet boundary.
  std::string joined;
  client.Get("/ts/gop4.ts", [&](const char* data, size_t length) {
    joined.append(data, length);
    return joined.size() < 20 * kTsPacket;
  });
  ASSERT_GE(joined.size(), 20 * kTsPacket);
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(joined[i * kTsPacket], 0x47) << i;

  const std::pair<std::string, std::vector<int>> faults[] = {
      {"/ts/gop1.ts?fault=404", {404, 404}},
      {"/hls/master.m3u8?fault=403", {403, 403}},
      {"/hls/master.m3u8?fault=503:2", {503, 503, 200}},
  };
  for (const auto& [target, statuses] : faults)
    for (size_t i = 0; i < statuses.size(); ++i) EXPECT_EQ(client.Get(target)->status, statuses[i]) << target << " " << i;
  const auto served = origin.served();
  EXPECT_EQ(served.front().target, "/hls/master.m3u8?rtt=10");
  EXPECT_EQ(served.front().rttMs, 10);
  EXPECT_GE(served.front().firstByte - served.front().requested, std::chrono::milliseconds(10));
}

}  // namespace
}  // namespace zephra::live
