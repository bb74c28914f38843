// A live origin on 127.0.0.1 for benchmarks and tests: channels as a real one serves them, with a
// network between it and the player that has latency and a bandwidth cap, and faults on demand.
//
//   /ts/gop1.ts, /ts/gop4.ts     endless MPEG-TS at real-time rate (keyframes every 1 s / 4 s),
//                                joined at the current live position
//   /hls/master.m3u8             live HLS: three variants (1080, 720, 360) of 2 s segments,
//   /hls/<height>/live.m3u8      sliding media playlists, /hls/<height>/seg_<sequence>.ts
//
// The query of any request chooses its network and faults (carried on to the addresses a
// playlist names):
//   rtt=MS      the first byte leaves MS after the request arrives (default 0)
//   kbps=K      at most K kbit/s on this connection (default: unlimited)
//   fault=close:S | stall:S | 503:N | 404 | 403
//               close the connection after S s of data / send nothing more after S s (S may be
//               0) / answer 503 to the first N requests of this exact address, then serve it /
//               always answer 404 / 403
// Each request is recorded (see Served), so a benchmark can work out the floor of a zap from
// what was actually sent.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace zephra::live {

using Clock = std::chrono::steady_clock;

struct Served {
  std::string target;  // path and query as requested
  int status = 0;
  int rttMs = 0;
  long kbps = 0;                // 0: no cap
  Clock::time_point requested;  // the request arrived
  Clock::time_point firstByte;  // its first body byte was written (unset when none)
  Clock::time_point keyframeEnd;  // the first complete keyframe was written (unset when not yet)
  size_t bytesToKeyframeEnd = 0;  // body bytes up to the end of that keyframe (0: not video)
  size_t bytesSent = 0;
};

class LiveOrigin {
 public:
  // Reads the content made by make_live_content.sh in `contentDir`; throws std::runtime_error
  // when it is missing or unreadable.
  explicit LiveOrigin(const std::string& contentDir);
  ~LiveOrigin();
  LiveOrigin(const LiveOrigin&) = delete;
  LiveOrigin& operator=(const LiveOrigin&) = delete;

  // Starts serving on `host`:`port` (0: an ephemeral port) on threads of its own.
  void start(const std::string& host = "127.0.0.1", int port = 0);
  // Ends every stream and joins the threads; also done by the destructor.
  void stop();
  int port() const;
  std::string base() const;  // "http://127.0.0.1:PORT/"

  // Every request so far, in arrival order (streams still running show what they sent so far).
  std::vector<Served> served() const;
  // Blocks until the server stops (the program's main thread).
  void wait();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace zephra::live
