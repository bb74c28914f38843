// zephra-live-origin: the live origin as a program, for trying a player against it by hand.
//
//   zephra-live-origin CONTENT_DIR [PORT]
//
// Serves on 127.0.0.1 (PORT, or an ephemeral port), prints "listening on http://127.0.0.1:PORT/"
// and one line per request when it stops (SIGINT or SIGTERM):
//   <target> <status> <ms to first byte> <ms to first complete keyframe> <bytes to it> <bytes sent>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "tests/live_origin/live_origin.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s CONTENT_DIR [PORT]\n", argv[0]);
    return 2;
  }
  // Taken by sigwait below, never delivered to a thread.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  try {
    zephra::live::LiveOrigin origin(argv[1]);
    origin.start("127.0.0.1", argc == 3 ? std::atoi(argv[2]) : 0);
    std::printf("listening on %s\n", origin.base().c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    origin.stop();
    const auto ms = [](auto from, auto to) {
      return to == decltype(to)() ? -1.0 : std::chrono::duration<double, std::milli>(to - from).count();
    };
    for (const auto& s : origin.served())
      std::printf("%s %d %.1f %.1f %zu %zu\n", s.target.c_str(), s.status, ms(s.requested, s.firstByte),
                  ms(s.requested, s.keyframeEnd), s.bytesToKeyframeEnd, s.bytesSent);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
