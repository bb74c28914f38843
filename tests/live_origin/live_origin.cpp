#include "tests/live_origin/live_origin.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <httplib.h>

#include "tests/live_origin/ts_index.h"

namespace zephra::live {
namespace {

constexpr int kPlaylistWindow = 5;  // segments listed in a media playlist
constexpr auto kSlice = std::chrono::milliseconds(5);

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("live origin: cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Segment {
  std::unique_ptr<TsIndex> ts;
  double seconds = 0;
};

struct Variant {
  int height = 0;
  std::vector<Segment> segments;
  std::vector<double> starts;  // each segment's start within the loop
  double loop = 0;
  long peakBitsPerSecond = 0;

  // Start of live segment `sequence` on the origin's clock.
  double startOf(long sequence) const {
    const long n = long(segments.size());
    return double(sequence / n) * loop + starts[size_t(sequence % n)];
  }
};

Variant readVariant(const std::string& folder, int height) {
  Variant variant;
  variant.height = height;
  const std::string playlist = readFile(folder + "/index.m3u8");
  size_t at = 0;
  double seconds = 0;
  while (at < playlist.size()) {
    const size_t end = std::min(playlist.find('\n', at), playlist.size());
    const std::string line = playlist.substr(at, end - at);
    at = end + 1;
    if (line.rfind("#EXTINF:", 0) == 0) {
      seconds = std::atof(line.c_str() + 8);
    } else if (!line.empty() && line[0] != '#') {
      Segment segment;
      segment.ts = std::make_unique<TsIndex>(readFile(folder + "/" + line));
      segment.seconds = seconds;
      variant.peakBitsPerSecond =
          std::max(variant.peakBitsPerSecond, long(double(segment.ts->data().size()) * 8 / std::max(seconds, 0.1)));
      variant.starts.push_back(variant.loop);
      variant.loop += seconds;
      variant.segments.push_back(std::move(segment));
    }
  }
  if (variant.segments.empty() || variant.loop <= 0) throw std::runtime_error("live origin: no segments in " + folder);
  return variant;
}

// The network and faults a request asked for.
struct Conditions {
  int rttMs = 0;
  long kbps = 0;
  std::string fault;   // "close", "stall", "503", "404", "403" or empty
  double faultValue = 0;
  std::string query;   // carried on to the addresses a playlist names, "?..." or empty

  explicit Conditions(const httplib::Request& request) {
    rttMs = std::clamp(std::atoi(request.get_param_value("rtt").c_str()), 0, 10000);
    kbps = std::max(0L, std::atol(request.get_param_value("kbps").c_str()));
    const std::string value = request.get_param_value("fault");
    const size_t colon = value.find(':');
    fault = value.substr(0, colon);
    if (colon != std::string::npos) faultValue = std::atof(value.c_str() + colon + 1);
    const size_t mark = request.target.find('?');
    if (mark != std::string::npos) query = request.target.substr(mark);
  }
};

}  // namespace

struct LiveOrigin::Impl {
  httplib::Server server;
  std::thread thread;
  int port = 0;
  std::atomic<bool> stopping{false};
  Clock::time_point zero;  // the origin's live clock starts here
  std::map<std::string, std::unique_ptr<TsIndex>> channels;
  std::vector<Variant> variants;

  mutable std::mutex mutex;
  std::deque<Served> served;
  std::map<std::string, int> refusals;  // 503s answered per target

  // Sleeps until `until` in short slices; false when the origin is stopping.
  bool sleepUntil(Clock::time_point until) {
    while (!stopping) {
      const auto now = Clock::now();
      if (now >= until) return true;
      std::this_thread::sleep_for(std::min<Clock::duration>(until - now, std::chrono::milliseconds(20)));
    }
    return false;
  }

  size_t record(const httplib::Request& request, const Conditions& conditions) {
    std::lock_guard<std::mutex> lock(mutex);
    Served entry;
    entry.target = request.target;
    entry.rttMs = conditions.rttMs;
    entry.kbps = conditions.kbps;
    entry.requested = Clock::now();
    served.push_back(entry);
    return served.size() - 1;
  }
  template <typename Change>
  void update(size_t index, Change change) {
    std::lock_guard<std::mutex> lock(mutex);
    change(served[index]);
  }

  // Answers a fault that replaces the body; false when the request is to be served.
  bool answeredByFault(const httplib::Request& request, const Conditions& conditions, size_t index,
                       httplib::Response& response) {
    int status = 0;
    if (conditions.fault == "404" || conditions.fault == "403") {
      status = std::atoi(conditions.fault.c_str());
    } else if (conditions.fault == "503") {
      std::lock_guard<std::mutex> lock(mutex);
      if (++refusals[request.target] <= int(conditions.faultValue)) status = 503;
    }
    if (status == 0) return false;
    sleepUntil(Clock::now() + std::chrono::milliseconds(conditions.rttMs));
    response.status = status;
    response.set_content("fault " + std::to_string(status) + "\n", "text/plain");
    update(index, [&](Served& s) { s.status = status; });
    return true;
  }

  // Bytes this connection may have sent by `now` under its cap (a packet's worth of slack).
  static size_t allowance(const Conditions& conditions, Clock::time_point since, Clock::time_point now) {
    if (conditions.kbps <= 0) return SIZE_MAX;
    const double seconds = std::chrono::duration<double>(now - since).count();
    return size_t(seconds * double(conditions.kbps) * 125.0) + 7 * kTsPacket;
  }

  // State of one body being sent.
  struct Sending {
    Conditions conditions;
    size_t index;
    Clock::time_point firstByte;
    size_t sent = 0;
    size_t keyframeAt = 0;
    bool keyframeDone = false;
    bool stalled = false;
  };

  // Writes `data` after noting what it completes; false when the player has gone.
  bool write(Sending& s, const char* data, size_t length, httplib::DataSink& sink) {
    if (s.sent == 0) s.firstByte = Clock::now();
    if (!sink.write(data, length)) return false;
    s.sent += length;
    const auto now = Clock::now();
    const bool keyframe = !s.keyframeDone && s.keyframeAt > 0 && s.sent >= s.keyframeAt;
    if (keyframe) s.keyframeDone = true;
    update(s.index, [&](Served& r) {
      if (r.firstByte == Clock::time_point()) r.firstByte = s.firstByte;
      if (keyframe) r.keyframeEnd = now;
      r.bytesSent = s.sent;
    });
    return true;
  }

  // Applies close and stall faults; false when the body is to end now.
  bool faultAllowsMore(Sending& s) {
    if (s.sent == 0) {
      if (s.conditions.fault == "stall" && s.conditions.faultValue <= 0) s.stalled = true;
    } else {
      const double seconds = std::chrono::duration<double>(Clock::now() - s.firstByte).count();
      if (s.conditions.fault == "close" && seconds >= s.conditions.faultValue) return false;
      if (s.conditions.fault == "stall" && seconds >= s.conditions.faultValue) s.stalled = true;
    }
    if (!s.stalled) return true;
    // Open, silent, until the origin stops or two minutes pass.
    sleepUntil(Clock::now() + std::chrono::minutes(2));
    return false;
  }

  void serveChannel(const httplib::Request& request, httplib::Response& response, const TsIndex& ts) {
    const Conditions conditions(request);
    const size_t index = record(request, conditions);
    if (answeredByFault(request, conditions, index, response)) return;
    if (!sleepUntil(Clock::now() + std::chrono::milliseconds(conditions.rttMs))) return;
    // A viewer joins where the channel is now, at a packet boundary.
    const double live = std::chrono::duration<double>(Clock::now() - zero).count();
    const auto loop = uint64_t(live / ts.duration());
    auto state = std::make_shared<Sending>(Sending{conditions, index, {}});
    const size_t first = ts.packetAt(live - double(loop) * ts.duration());
    state->keyframeAt = ts.bytesToKeyframeEnd(first);
    update(index, [&](Served& s) {
      s.status = 200;
      s.bytesToKeyframeEnd = state->keyframeAt;
    });
    // Packets leave when the channel's clock reaches them, and no faster than the cap allows.
    struct Position {
      size_t packet;
      uint64_t loop;
      std::vector<uint8_t> counters;
    };
    auto at = std::make_shared<Position>(Position{first, loop, {}});
    response.set_chunked_content_provider("video/mp2t", [this, state, at, &ts](size_t, httplib::DataSink& sink) {
      if (stopping || !faultAllowsMore(*state)) return false;
      const auto now = Clock::now();
      const size_t allowed = allowance(state->conditions, state->sent ? state->firstByte : now, now);
      std::string chunk;
      Clock::time_point next = now + kSlice;
      while (chunk.size() < 256 * 1024 && state->sent + chunk.size() + kTsPacket <= allowed) {
        const auto due = zero + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                        double(at->loop) * ts.duration() + ts.timeOf(at->packet)));
        if (due > now) {
          next = std::max(next, due);
          break;
        }
        chunk.resize(chunk.size() + kTsPacket);
        ts.copyPacket(at->packet, at->loop, at->counters, &chunk[chunk.size() - kTsPacket]);
        if (++at->packet == ts.packets()) {
          at->packet = 0;
          ++at->loop;
        }
      }
      if (!chunk.empty() && !write(*state, chunk.data(), chunk.size(), sink)) return false;
      return sleepUntil(next);
    });
  }

  void serveSegment(const httplib::Request& request, httplib::Response& response, const Variant& variant,
                    long sequence) {
    const Conditions conditions(request);
    const size_t index = record(request, conditions);
    if (answeredByFault(request, conditions, index, response)) return;
    const double live = std::chrono::duration<double>(Clock::now() - zero).count();
    const Segment& segment = variant.segments[size_t(sequence % long(variant.segments.size()))];
    if (!sleepUntil(Clock::now() + std::chrono::milliseconds(conditions.rttMs))) return;
    if (variant.startOf(sequence) + segment.seconds > live) {  // not published yet
      response.status = 404;
      update(index, [&](Served& s) { s.status = 404; });
      return;
    }
    auto state = std::make_shared<Sending>(Sending{conditions, index, {}});
    state->keyframeAt = segment.ts->bytesToKeyframeEnd(0);
    update(index, [&](Served& s) {
      s.status = 200;
      s.bytesToKeyframeEnd = state->keyframeAt;
    });
    const std::string& data = segment.ts->data();
    response.set_content_provider(data.size(), "video/mp2t",
                                  [this, state, &data](size_t offset, size_t length, httplib::DataSink& sink) {
      if (stopping || !faultAllowsMore(*state)) return false;
      const auto now = Clock::now();
      const size_t allowed = allowance(state->conditions, state->sent ? state->firstByte : now, now);
      const size_t room = allowed > state->sent ? allowed - state->sent : 0;
      const size_t count = std::min({length, room, size_t(256 * 1024)});
      if (count > 0 && !write(*state, data.data() + offset, count, sink)) return false;
      return count == length || sleepUntil(Clock::now() + kSlice);
    });
  }

  void servePlaylist(const httplib::Request& request, httplib::Response& response, const std::string& body) {
    const Conditions conditions(request);
    const size_t index = record(request, conditions);
    if (answeredByFault(request, conditions, index, response)) return;
    if (!sleepUntil(Clock::now() + std::chrono::milliseconds(conditions.rttMs))) return;
    response.set_content(body, "application/vnd.apple.mpegurl");
    const auto now = Clock::now();
    update(index, [&](Served& s) {
      s.status = 200;
      s.firstByte = now;
      s.bytesSent = body.size();
    });
  }

  std::string masterPlaylist(const std::string& query) const {
    std::string out = "#EXTM3U\n#EXT-X-VERSION:3\n";
    for (const auto& v : variants)
      out += "#EXT-X-STREAM-INF:BANDWIDTH=" + std::to_string(v.peakBitsPerSecond) + ",RESOLUTION=" +
             std::to_string(v.height * 16 / 9) + "x" + std::to_string(v.height) + "\n" + std::to_string(v.height) +
             "/live.m3u8" + query + "\n";
    return out;
  }

  // The last segments published by now; a discontinuity where the loop starts again.
  std::string mediaPlaylist(const Variant& v, const std::string& query) const {
    const double live = std::chrono::duration<double>(Clock::now() - zero).count();
    long last = 0;
    while (v.startOf(last + 1) + v.segments[size_t((last + 1) % long(v.segments.size()))].seconds <= live) ++last;
    const long first = std::max(0L, last - kPlaylistWindow + 1);
    const long count = long(v.segments.size());
    std::string out = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:" +
                      std::to_string(first) + "\n#EXT-X-DISCONTINUITY-SEQUENCE:" + std::to_string(first / count) + "\n";
    for (long s = first; s <= last; ++s) {
      if (s % count == 0 && s != first) out += "#EXT-X-DISCONTINUITY\n";
      char extinf[64];
      std::snprintf(extinf, sizeof extinf, "#EXTINF:%.3f,\n", v.segments[size_t(s % count)].seconds);
      out += extinf + std::string("seg_") + std::to_string(s) + ".ts" + query + "\n";
    }
    return out;
  }

  const Variant* variant(const std::string& height) const {
    for (const auto& v : variants)
      if (std::to_string(v.height) == height) return &v;
    return nullptr;
  }
};

LiveOrigin::LiveOrigin(const std::string& contentDir) : m_impl(std::make_unique<Impl>()) {
  for (const char* name : {"gop1", "gop4"})
    m_impl->channels[name] = std::make_unique<TsIndex>(readFile(contentDir + "/ts/" + name + ".ts"));
  for (int height : {1080, 720, 360})
    m_impl->variants.push_back(readVariant(contentDir + "/hls/" + std::to_string(height), height));
  // A whole playlist window is published from the start.
  m_impl->zero = Clock::now() - std::chrono::seconds(2 * kPlaylistWindow + 2);

  Impl& impl = *m_impl;
  auto& server = impl.server;
  // Each live stream holds a worker thread for as long as it plays.
  server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  server.set_keep_alive_max_count(100);
  server.set_keep_alive_timeout(2);
  server.Get(R"(/ts/(\w+)\.ts)", [&impl](const httplib::Request& request, httplib::Response& response) {
    const auto found = impl.channels.find(request.matches[1]);
    if (found == impl.channels.end()) {
      response.status = 404;
      return;
    }
    impl.serveChannel(request, response, *found->second);
  });
  server.Get("/hls/master.m3u8", [&impl](const httplib::Request& request, httplib::Response& response) {
    impl.servePlaylist(request, response, impl.masterPlaylist(Conditions(request).query));
  });
  server.Get(R"(/hls/(\d+)/live\.m3u8)", [&impl](const httplib::Request& request, httplib::Response& response) {
    const Variant* v = impl.variant(request.matches[1]);
    if (!v) {
      response.status = 404;
      return;
    }
    impl.servePlaylist(request, response, impl.mediaPlaylist(*v, Conditions(request).query));
  });
  server.Get(R"(/hls/(\d+)/seg_(\d{1,9})\.ts)", [&impl](const httplib::Request& request, httplib::Response& response) {
    const Variant* v = impl.variant(request.matches[1]);
    if (!v) {
      response.status = 404;
      return;
    }
    impl.serveSegment(request, response, *v, std::atol(request.matches.str(2).c_str()));
  });
}

LiveOrigin::~LiveOrigin() { stop(); }

void LiveOrigin::start(const std::string& host, int port) {
  auto& impl = *m_impl;
  impl.port = port == 0 ? impl.server.bind_to_any_port(host) : (impl.server.bind_to_port(host, port) ? port : -1);
  if (impl.port <= 0) throw std::runtime_error("live origin: cannot listen on " + host);
  impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
  for (int i = 0; i < 400 && !impl.server.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void LiveOrigin::stop() {
  m_impl->stopping = true;
  m_impl->server.stop();
  if (m_impl->thread.joinable()) m_impl->thread.join();
}

void LiveOrigin::wait() {
  if (m_impl->thread.joinable()) m_impl->thread.join();
}

int LiveOrigin::port() const { return m_impl->port; }

std::string LiveOrigin::base() const { return "http://127.0.0.1:" + std::to_string(m_impl->port) + "/"; }

std::vector<Served> LiveOrigin::served() const {
  std::lock_guard<std::mutex> lock(m_impl->mutex);
  return {m_impl->served.begin(), m_impl->served.end()};
}

}  // namespace zephra::live
