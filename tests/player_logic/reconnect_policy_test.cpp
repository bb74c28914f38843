// When a lost stream is opened again, and after how long; which answers are failures.
#include "player_logic/reconnect_policy.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zephra {
namespace {

using std::chrono::milliseconds;
using End = ReconnectPolicy::End;

const End liveDrop{true, true, 0};
const End finiteEnd{true, false, 0};
const End neverOpened{false, false, 0};
End answered(int status, bool opened = false) { return {opened, opened, status}; }

// One event of a sequence: an end at `at` ms (with the pause expected, -1 for none), or the
// first frame at `at` ms, or the user cancelling.
struct Event {
  enum Kind { Ends, Plays, Cancels } kind;
  long at;
  End end{};
  long pause = -1;
};
Event ends(long at, End end, long pause) { return {Event::Ends, at, end, pause}; }
Event plays(long at) { return {Event::Plays, at}; }
Event cancels(long at) { return {Event::Cancels, at}; }

TEST(ReconnectPolicy, PausesFollowTheLossUntilAboutAMinute) {
  struct Case {
    const char* name;
    std::vector<Event> events;
  };
  const Case cases[] = {
      {"a live stream that drops is opened again at once, then after growing pauses",
       {ends(0, liveDrop, 500), ends(1000, neverOpened, 1000), ends(3000, neverOpened, 2000),
        ends(6000, neverOpened, 4000), ends(11000, neverOpened, 8000), ends(20000, neverOpened, 8000)}},
      {"it gives up when the next pause would pass the minute",
       {ends(0, liveDrop, 500), ends(45000, neverOpened, 1000), ends(51500, neverOpened, 2000),
        ends(57000, neverOpened, -1), ends(58000, neverOpened, -1)}},
      {"the end of a finite item is not a drop", {ends(0, finiteEnd, -1)}},
      {"a first open that fails without an answer is a failure", {ends(0, neverOpened, -1)}},
      {"a server answering 503 at the first open is asked again", {ends(0, answered(503), 500), ends(600, answered(503), 1000)}},
      {"404 is a failure, also in the middle of reconnecting",
       {ends(0, answered(404), -1), ends(10, liveDrop, 500), ends(600, answered(404), -1), ends(700, neverOpened, -1)}},
      {"403 is a failure", {ends(0, answered(403, true), -1)}},
      {"a short play between drops keeps the same loss and its pauses",
       {ends(0, liveDrop, 500), plays(1000), ends(3000, liveDrop, 1000), plays(4500), ends(6000, liveDrop, 2000)}},
      {"playing steadily makes the next drop a new loss",
       {ends(0, liveDrop, 500), ends(600, neverOpened, 1000), plays(2000), ends(13000, liveDrop, 500)}},
      {"a new loss has a minute of its own",
       {ends(0, liveDrop, 500), plays(600), ends(50000, liveDrop, 500), ends(55000, neverOpened, 1000)}},
      {"cancelling forgets the loss: a failure afterwards is final",
       {ends(0, liveDrop, 500), cancels(100), ends(700, neverOpened, -1)}},
  };
  const auto zero = ReconnectPolicy::Clock::time_point() + std::chrono::hours(1);
  for (const auto& c : cases) {
    ReconnectPolicy policy;
    for (size_t i = 0; i < c.events.size(); ++i) {
      const Event& e = c.events[i];
      const auto now = zero + milliseconds(e.at);
      if (e.kind == Event::Plays) {
        policy.playing(now);
      } else if (e.kind == Event::Cancels) {
        policy.cancel();
        EXPECT_FALSE(policy.reconnecting()) << c.name;
      } else {
        const auto pause = policy.ended(e.end, now);
        EXPECT_EQ(pause ? long(pause->count()) : -1L, e.pause) << c.name << ", event " << i;
        EXPECT_EQ(policy.reconnecting(), pause.has_value()) << c.name << ", event " << i;
      }
    }
  }
}

TEST(ReconnectPolicy, ReadsTheHttpStatusOfEngineLines) {
  const std::pair<std::string, int> cases[] = {
      {"HTTP error 404 Not Found\n", 404},
      {"http: HTTP error 503 Service Unavailable", 503},
      {"HTTP error 403 Forbidden", 403},
      {"HTTP error 4040 Not Found", 0},
      {"HTTP error 40", 0},
      {"HTTP error abc", 0},
      {"HTTP error 099 odd", 0},
      {"Connection refused", 0},
      {"", 0},
  };
  for (const auto& [line, status] : cases) EXPECT_EQ(httpErrorStatus(line), status) << line;
}

}  // namespace
}  // namespace zephra
