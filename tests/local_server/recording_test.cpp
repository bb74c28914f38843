// Scheduled recordings end to end: programmes of the test's own guide recorded from the loopback
// live origin by the real routes and scheduler, one of them through drops; the page's schedule,
// cancel, play and delete; and the real server killed in the middle of a recording.
#include <gtest/gtest.h>

#include <csignal>
#include <ctime>

extern "C" {
#include <libavformat/avformat.h>
}

#include "common/recording/recording_file.h"
#include "tests/live_origin/live_origin.h"
#include "tests/local_server/server_test_support.h"
#include "tests/support/server_process.h"
#include "tests/support/xmltv_time.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

std::string programme(const std::string& channel, std::int64_t from, std::int64_t to, const std::string& title) {
  return "<programme channel=\"" + channel + "\" start=\"" + xmltvTime(from) + "\" stop=\"" + xmltvTime(to) +
         "\"><title>" + title + "</title></programme>";
}

// Seconds from the first to the last video picture of a file, as a player reads it; -1 when it
// cannot be read.
double videoSeconds(const fs::path& file) {
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, file.c_str(), nullptr, nullptr) < 0) return -1;
  double seconds = -1;
  const int video = avformat_find_stream_info(context, nullptr) < 0
                        ? -1
                        : av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (AVPacket* packet = video >= 0 ? av_packet_alloc() : nullptr) {
    std::int64_t first = AV_NOPTS_VALUE, last = AV_NOPTS_VALUE;
    while (av_read_frame(context, packet) >= 0) {
      if (packet->stream_index == video && packet->pts != AV_NOPTS_VALUE) {
        if (first == AV_NOPTS_VALUE) first = packet->pts;
        last = std::max(last, packet->pts);
      }
      av_packet_unref(packet);
    }
    if (first != AV_NOPTS_VALUE) seconds = static_cast<double>(last - first) * av_q2d(context->streams[video]->time_base);
    av_packet_free(&packet);
  }
  avformat_close_input(&context);
  return seconds;
}

std::vector<fs::path> filesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

template <typename Check>
bool waitUntil(Check check, std::chrono::seconds limit = 30s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!check()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

std::vector<std::string> states(const std::string& page) {
  return firstGroups(page, "<tr class=\"([a-z]+)\">");
}

TEST(Recordings, ScheduledFromTheGuideThroughDropsThenPlayedAndDeleted) {
  live::LiveOrigin origin(ZEPHRA_LIVE_CONTENT);
  origin.start();
  const TempDir recordings;
  RecordingOptions options;
  options.lead = 0s;
  options.tail = 1s;
  options.tick = 100ms;
  options.folder = recordings.path();
  options.freeSpaceMargin = 0;
  const std::string dropped = origin.base() + "ts/gop1.ts?fault=close:2";
  ServerFixture server("#EXTM3U\n#EXTINF:-1 tvg-id=\"news\",News\n" + origin.base() + "ts/gop1.ts\n" +
                           "#EXTINF:-1 tvg-id=\"drop\",Drop\n" + dropped + "\n",
                       kDirectoryPageSize, {}, {}, {}, options);
  const std::int64_t now = std::time(nullptr);
  writeFile(server.docRoot() / "guide.xml",
            "<tv><channel id=\"news\"/><channel id=\"drop\"/>" +
                programme("news", now + 2, now + 8, "Evening/News ../..") +
                programme("drop", now + 2, now + 8, "Dropped") + programme("news", now + 3600, now + 7200, "Later") +
                "</tv>");
  std::vector<std::string> records;
  ASSERT_TRUE(waitUntil([&] { return (records = hrefsOf(server.body("/guide.php?code=&fav=0"), "rec")).size() == 3; }));
  for (const std::string& record : records) EXPECT_EQ(change(server, "/" + record)->status, 303) << record;
  EXPECT_EQ(server.get("/recordings.php?code=&delete=1")->status, 403);  // no token: forged
  std::string page = server.body("/recordings.php?code=");
  ASSERT_EQ(states(page), (std::vector<std::string>{"scheduled", "scheduled", "scheduled"}));
  EXPECT_EQ(change(server, "/" + hrefsOf(page, "cancel").back())->status, 303);  // "Later"

  ASSERT_TRUE(waitUntil([&] { return states(page = server.body("/recordings.php?code=")) ==
                                     std::vector<std::string>{"done", "done"}; }))
      << page;
  const auto files = filesIn(recordings.path());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_NE(files[1].filename().string().find("News "), std::string::npos);
  EXPECT_NE(files[1].filename().string().find(" Evening_News .._.ts"), std::string::npos) << files[1];
  EXPECT_GT(videoSeconds(files[1]), 5.0);
  EXPECT_GT(videoSeconds(files[0]), 3.0);  // "Drop": reconnected after each drop
  int dropConnections = 0;
  for (const auto& served : origin.served()) dropConnections += served.target == "/ts/gop1.ts?fault=close:2";
  EXPECT_GE(dropConnections, 2);

  // Played through this server with ranges; nothing else is reachable that way.
  const auto plays = hrefsOf(page, "play");
  ASSERT_EQ(plays.size(), 2u);
  ASSERT_EQ(plays[0].rfind("#1|http://127.0.0.1:" + std::to_string(server.port()) + "/", 0), 0u);
  httplib::Client client("127.0.0.1", server.port());
  client.set_default_headers({{"Cookie", server.cookie()}, {"Range", "bytes=188-375"}});
  const auto part = client.Get(plays[0].substr(plays[0].find('/', 12)).c_str());
  ASSERT_TRUE(part);
  EXPECT_EQ(part->status, 206);
  EXPECT_EQ(part->body.size(), 188u);
  EXPECT_EQ(part->body[0], '\x47');  // an MPEG-TS packet
  for (const char* bad : {"/recording.ts?id=99", "/recording.ts?id=../1", "/recording.ts"})
    EXPECT_EQ(server.get(bad)->status, 404) << bad;

  for (const std::string& remove : hrefsOf(page, "delete")) EXPECT_EQ(change(server, "/" + remove)->status, 303);
  EXPECT_TRUE(filesIn(recordings.path()).empty());
  EXPECT_TRUE(states(server.body("/recordings.php?code=")).empty());
}

// Every way a recording ends but the good one says why; a server error is tried again.
TEST(Recordings, FailuresSayWhy) {
  live::LiveOrigin origin(ZEPHRA_LIVE_CONTENT);
  origin.start();
  const TempDir folder;
  struct Case {
    std::string address;
    std::uint64_t margin;
    bool oneConnection;
    RecordingState state;
    std::string why;
  };
  const std::vector<Case> cases{
      {"file:///etc/passwd", 0, false, RecordingState::Failed, "Refused: not a network stream address"},
      {"http://127.0.0.1:1/x.ts", 0, false, RecordingState::Failed, "Cannot open the stream: Connection refused"},
      {origin.base() + "ts/gop1.ts?fault=404", 0, false, RecordingState::Failed, "404 Not Found"},
      {origin.base() + "ts/gop1.ts?fault=403", 0, true, RecordingState::Failed,
       "403 Forbidden (access denied). This account allows one connection at a time"},
      {origin.base() + "ts/gop1.ts", ~std::uint64_t(0), false, RecordingState::Failed, "Not enough free space: "},
      {origin.base() + "ts/gop1.ts?fault=503:2", 0, false, RecordingState::Done, ""},
  };
  std::vector<std::unique_ptr<RecordingStore>> stores;
  std::vector<std::unique_ptr<RecordingScheduler>> schedulers;
  for (const Case& c : cases) {
    Recording r;
    r.channelId = "0123456789abcdef";
    r.channelName = "Channel";
    r.address = c.address;
    r.start = std::time(nullptr) - 1;
    r.stop = r.start + 4;
    r.oneConnection = c.oneConnection;
    stores.push_back(std::make_unique<RecordingStore>(":memory:"));
    ASSERT_TRUE(stores.back()->schedule(r));
    RecordingOptions options;
    options.tail = 0s;
    options.tick = 100ms;
    options.folder = folder / std::to_string(stores.size());
    options.freeSpaceMargin = c.margin;
    schedulers.push_back(std::make_unique<RecordingScheduler>(*stores.back(), options));
    schedulers.back()->start();
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(waitUntil([&] {
      const auto state = stores[i]->list().at(0).state;
      return state != RecordingState::Scheduled && state != RecordingState::Recording;
    })) << cases[i].address;
    const Recording r = stores[i]->list().at(0);
    EXPECT_EQ(r.state, cases[i].state) << cases[i].address << ": " << r.why;
    EXPECT_NE(r.why.find(cases[i].why), std::string::npos) << cases[i].address << ": " << r.why;
  }
}

// A server killed while recording: the part written so far plays and is listed as interrupted,
// and the next start records the programme on in a new part.
TEST(Recordings, KilledServerLeavesAPlayablePartAndGoesOn) {
  live::LiveOrigin origin(ZEPHRA_LIVE_CONTENT);
  origin.start();
  const TempDir dir;
  const fs::path lib = dir / "lib", data = lib / "Program" / "data", folder = dir / "rec";
  writeFile(lib / "Program" / "www" / "localhost" / "channels.m3u", "#EXTM3U\n");
  fs::create_directories(data);
  const std::string database = (data / LocalServer::kRecordingsDatabaseName).string();
  Recording programme;
  programme.channelId = "0123456789abcdef";
  programme.channelName = "Kill";
  programme.address = origin.base() + "ts/gop1.ts";
  programme.title = "Long";
  programme.start = std::time(nullptr) - 10;
  programme.stop = programme.start + 600;
  ASSERT_TRUE(RecordingStore(database).schedule(programme));
  const std::vector<std::string> argv{ZEPHRA_SERVER_BINARY, "--root", lib.string(), "--recordings",
                                      folder.string(), "--no-window"};
  auto partSize = [&] {
    const auto files = filesIn(folder);
    return files.size() == 1 && files[0].extension() == ".part" ? fs::file_size(files[0]) : 0;
  };
  {
    ServerProcess server(argv);
    ASSERT_TRUE(waitUntil([&] { return partSize() > 500'000; }));
    server.process().stop(10s, SIGKILL);
  }
  const fs::path first = filesIn(folder).at(0);
  auto rows = [&] {
    std::vector<std::string> found;
    for (const Recording& r : RecordingStore(database).list())
      found.push_back(std::to_string(r.part) + " " + recordingStateName(r.state));
    return found;
  };
  const fs::path kept = first.parent_path() / first.stem();  // without ".part"
  fs::path second = kept;
  second.replace_filename(kept.stem().string() + " part 2.ts");
  ServerProcess server(argv);
  ASSERT_TRUE(waitUntil([&] { return rows() == std::vector<std::string>{"1 interrupted", "2 recording"}; }));
  EXPECT_GT(videoSeconds(kept), 0.5);
  ASSERT_TRUE(waitUntil([&] { return fs::exists(partialRecordingPath(second)) &&
                                     fs::file_size(partialRecordingPath(second)) > 100'000; }));
  EXPECT_EQ(server.stop(), 0);
  EXPECT_EQ(rows(), (std::vector<std::string>{"1 interrupted", "2 interrupted", "3 scheduled"}));
  EXPECT_GT(videoSeconds(second), 0.5);
}

}  // namespace
}  // namespace zephra::test
