// Zap time on live channels: the player against libmpv with its own defaults, on the live
// origin's MPEG-TS (keyframes every 1 s and 4 s) and HLS channels, each over a network of
// 40 or 150 ms round trip and 20 or 5 Mbit/s. From the address handed over (setUrl for the
// player, loadfile for the engine) to the first frame (PLAYBACK_RESTART, the player's "Playing").
// Both are stopped before each zap and take turns going first; each zap's floor comes from what
// the origin actually sent for it (see floorMs).
//
//   zephra_live_zap_bench ROUNDS [ENGINE_OPTION=VALUE ...]
//
// The options go to the default engine only (for trying settings); LIVE_ZAP_KINDS (e.g.
// "ts1,hls") keeps only those of ts1, ts4 and hls. Prints one line per zap:
//   "zap <kind> <rtt ms> <kbit/s> <ours|engine> <ms to first frame> <floor ms> <variant height>"
// and "lost <kind> <rtt> <kbit/s> <ours|engine>" for a zap without a first frame within 20 s.
// Needs a display.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>

#include "bench/bench_events.h"
#include "platform/display_backend.h"
#include "platform/media_player_mpv.h"
#include "platform/mpv_handle.h"
#include "platform/native_window.h"
#include "tests/live_origin/live_origin.h"
#include "tests/support/wx_session.h"

namespace {

using Clock = std::chrono::steady_clock;
using zephra::bench::pumpUntil;
constexpr auto kZapLimit = std::chrono::seconds(20);

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// libmpv as it comes: only where to draw, no sound device, no configuration files.
class DefaultEngine {
 public:
  DefaultEngine(wxWindow* window, const std::vector<std::pair<std::string, std::string>>& extra) {
    m_mpv.setOption("wid", std::to_string(zephra::nativeWindowId(window)));
    m_mpv.setOption("config", "no");
    m_mpv.setOption("terminal", "no");
    m_mpv.setOption("idle", "yes");
    m_mpv.setOption("force-window", "yes");
    m_mpv.setOption("vo", videoOutput());
    m_mpv.setOption("ao", "null");
    for (const auto& [name, value] : extra) m_mpv.setOption(name.c_str(), value);
    m_mpv.initialize();
  }
  ~DefaultEngine() { m_mpv.destroy(); }
  // loadfile to the first frame; negative when none came in time.
  double zap(const std::string& url) {
    while (m_mpv.waitEvent(0).event_id != MPV_EVENT_NONE) {
    }
    const auto start = Clock::now();
    m_mpv.command({"loadfile", url, "replace"});
    while (Clock::now() - start < kZapLimit) {
      const mpv_event& event = m_mpv.waitEvent(0.002);
      if (event.event_id == MPV_EVENT_PLAYBACK_RESTART) return ms(Clock::now() - start);
      if (event.event_id == MPV_EVENT_END_FILE) return -1;
    }
    return -1;
  }
  void stop() {
    m_mpv.command({"stop"});
    while (m_mpv.waitEvent(0.05).event_id != MPV_EVENT_NONE) {
    }
  }

 private:
  // The player's own choice of output, so that only the engine settings differ.
  static std::string videoOutput() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error))
      if (entry.path().filename().string().rfind("renderD", 0) == 0) return "gpu,x11";
    return "x11";
  }
  zephra::MpvHandle m_mpv;
};

struct Network {
  int rtt;
  long kbps;
};

// The least a zap could take on this network given what the origin sent for it: for MPEG-TS,
// from the request to the end of the first complete keyframe as sent (one round trip, then the
// channel's own pace and the bandwidth); for HLS, three round trips (master, media playlist,
// segment) and the first segment's bytes up to the end of its keyframe at the link's rate.
// Also the height of the variant played (HLS), 0 for MPEG-TS.
std::pair<double, int> floorMs(const zephra::live::LiveOrigin& origin, const std::string& tag, const Network& net) {
  for (const auto& s : origin.served()) {
    if (s.target.find(tag) == std::string::npos || s.status != 200) continue;
    if (s.target.rfind("/ts/", 0) == 0) {
      if (s.keyframeEnd == Clock::time_point()) return {-1, 0};
      return {ms(s.keyframeEnd - s.requested), 0};
    }
    if (s.target.find("/seg_") != std::string::npos)
      return {3.0 * net.rtt + double(s.bytesToKeyframeEnd) * 8.0 / double(net.kbps),
              std::atoi(s.target.c_str() + 5)};
  }
  return {-1, 0};
}

int run(int rounds, const std::vector<std::pair<std::string, std::string>>& engineOptions) {
  zephra::live::LiveOrigin origin(ZEPHRA_LIVE_CONTENT);
  origin.start();

  auto* frame = new wxFrame(nullptr, wxID_ANY, "live zap", wxPoint(0, 0), wxSize(660, 380));
  auto* left = new wxWindow(frame, wxID_ANY, wxPoint(0, 0), wxSize(320, 180));
  auto* right = new wxWindow(frame, wxID_ANY, wxPoint(330, 0), wxSize(320, 180));
  frame->Show();
  auto player = zephra::createMediaPlayer(left, {"", "null"});
  Clock::time_point playingAt;
  player->onStatusChange = [&] {
    if (player->status() == "Playing" && playingAt == Clock::time_point()) playingAt = Clock::now();
  };
  const auto ours = [&](const std::string& url) {
    player->stop();
    pumpUntil([&] { return player->status() == "Stopped"; }, std::chrono::seconds(5));
    playingAt = Clock::time_point();
    const auto start = Clock::now();
    player->setUrl(url);
    if (!pumpUntil([&] { return playingAt != Clock::time_point(); }, kZapLimit)) return -1.0;
    return ms(playingAt - start);
  };
  DefaultEngine engine(right, engineOptions);

  struct Kind {
    const char* name;
    const char* path;
    int phaseMs;  // keyframe interval or segment length: zaps start at a random point of it
  };
  std::vector<Kind> kinds = {{"ts1", "ts/gop1.ts", 1000}, {"ts4", "ts/gop4.ts", 4000}, {"hls", "hls/master.m3u8", 2000}};
  if (const char* only = std::getenv("LIVE_ZAP_KINDS"))
    kinds.erase(std::remove_if(kinds.begin(), kinds.end(),
                               [&](const Kind& k) { return std::string(only).find(k.name) == std::string::npos; }),
                kinds.end());
  const Network networks[] = {{40, 20000}, {150, 20000}, {40, 5000}, {150, 5000}};
  std::mt19937 random(7);
  int zap = 0;
  for (int round = 0; round < rounds; ++round) {
    for (const auto& kind : kinds) {
      for (const auto& net : networks) {
        for (int turn = 0; turn < 2; ++turn) {
          // A viewer's zap falls anywhere in the channel's keyframe interval; zaps one after the
          // other would otherwise all land just after a keyframe.
          pumpUntil([] { return false; }, std::chrono::milliseconds(random() % kind.phaseMs));
          const bool isOurs = (turn == 0) == (round % 2 == 0);
          const std::string tag = "?zap=" + std::to_string(++zap) + "&";
          const std::string url = origin.base() + kind.path + tag + "rtt=" + std::to_string(net.rtt) +
                                  "&kbps=" + std::to_string(net.kbps);
          const double took = isOurs ? ours(url) : engine.zap(url);
          if (isOurs)
            player->stop();
          else
            engine.stop();
          const std::string what = kind.name;
          if (took < 0) {
            std::printf("lost %s %d %ld %s\n", what.c_str(), net.rtt, net.kbps, isOurs ? "ours" : "engine");
          } else {
            const auto [floor, height] = floorMs(origin, tag, net);
            std::printf("zap %s %d %ld %s %.1f %.1f %d\n", what.c_str(), net.rtt, net.kbps, isOurs ? "ours" : "engine",
                        took, floor, height);
          }
          std::fflush(stdout);
        }
      }
    }
  }
  player.reset();
  frame->Destroy();
  origin.stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s ROUNDS [ENGINE_OPTION=VALUE ...]\n", argv[0]);
    return 2;
  }
  std::vector<std::pair<std::string, std::string>> options;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    const size_t equals = option.find('=');
    if (equals == std::string::npos) {
      std::fprintf(stderr, "not NAME=VALUE: %s\n", argv[i]);
      return 2;
    }
    options.emplace_back(option.substr(0, equals), option.substr(equals + 1));
  }
  zephra::chooseDisplayBackend();
  zephra::test::WxSession session(new wxApp(), argv[0]);
  if (!session.started()) return 2;
  try {
    return run(std::max(1, std::atoi(argv[1])), options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
