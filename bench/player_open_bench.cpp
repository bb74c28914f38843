// Opening time of the media player: from setting an address to MediaChange (the stream answered
// and its format is known) and to "Playing" (the first frame is shown), for a loopback MPEG-TS.
// The first round pays the video output's start; later rounds are channel switches (stop, new
// address, play), which is what a user waits for when zapping.
//
//   zephra_player_open_bench CLIP.ts [ROUNDS] [VIDEO_OUTPUT]
//
// VIDEO_OUTPUT empty means the player's default (GPU, else X11). Needs a display.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/utils.h>

#include "bench/bench_events.h"
#include "platform/display_backend.h"
#include "platform/media_player.h"
#include "tests/support/wx_session.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

using zephra::bench::pumpUntil;

void report(const char* what, std::vector<double> values) {
  if (values.empty()) return;
  std::sort(values.begin(), values.end());
  std::printf("%-34s median %7.1f ms   min %7.1f   max %7.1f   (%zu runs)\n", what,
              values[values.size() / 2], values.front(), values.back(), values.size());
}

int run(const std::string& clipPath, int rounds, const std::string& videoOutput) {
  std::ifstream in(clipPath, std::ios::binary);
  const std::string clip((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (clip.empty()) {
    std::fprintf(stderr, "cannot read %s\n", clipPath.c_str());
    return 1;
  }
  httplib::Server server;
  server.Get(R"(/(\w+)\.ts)", [&clip](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("video/mp2t", [&clip](size_t offset, httplib::DataSink& sink) {
      if (offset >= clip.size()) {
        sink.done();
        return true;
      }
      return sink.write(clip.data() + offset, std::min<size_t>(64 * 1024, clip.size() - offset));
    });
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&server] { server.listen_after_bind(); });
  const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/";

  auto* frame = new wxFrame(nullptr, wxID_ANY, "player bench", wxDefaultPosition, wxSize(640, 480));
  frame->Show();
  int mediaChanges = 0;
  std::vector<double> firstLoaded, firstPlaying, switchLoaded, switchPlaying;
  {
    const auto player = zephra::createMediaPlayer(frame, {videoOutput, "null"});
    player->onMediaChange = [&mediaChanges] { ++mediaChanges; };
    for (int round = 0; round < rounds; ++round) {
      const int before = mediaChanges;
      const auto start = Clock::now();
      player->stop();
      player->setUrl(base + "ch" + std::to_string(round % 7) + ".ts");
      player->play();
      if (!pumpUntil([&] { return mediaChanges > before; }, std::chrono::seconds(10))) {
        std::fprintf(stderr, "round %d: no media change (%s)\n", round, player->status().c_str());
        continue;
      }
      const double loaded = msSince(start);
      if (!pumpUntil([&] { return player->status() == "Playing"; }, std::chrono::seconds(10))) {
        std::fprintf(stderr, "round %d: not playing (%s)\n", round, player->status().c_str());
        continue;
      }
      const double playing = msSince(start);
      (round == 0 ? firstLoaded : switchLoaded).push_back(loaded);
      (round == 0 ? firstPlaying : switchPlaying).push_back(playing);
    }
  }
  frame->Destroy();
  server.stop();
  serving.join();

  std::printf("video output: %s\n", videoOutput.empty() ? "default (gpu, else x11)" : videoOutput.c_str());
  report("first open -> media change", firstLoaded);
  report("first open -> playing", firstPlaying);
  report("channel switch -> media change", switchLoaded);
  report("channel switch -> playing", switchPlaying);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLIP.ts [ROUNDS] [VIDEO_OUTPUT]\n", argv[0]);
    return 2;
  }
  zephra::chooseDisplayBackend();
  zephra::test::WxSession session(new wxApp(), argv[0]);
  if (!session.started()) return 2;
  return run(argv[1], argc > 2 ? std::max(2, std::atoi(argv[2])) : 15, argc > 3 ? argv[3] : "");
}
