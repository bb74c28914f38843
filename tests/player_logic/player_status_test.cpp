// The player's status texts, from the sequences of engine reports that produce them.
#include "player_logic/player_status.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zephra {
namespace {

using Step = std::function<void(PlayerStatus&)>;

const Step open = [](PlayerStatus& s) { s.opening(); };
const Step load = [](PlayerStatus& s) { s.loaded(); };
const Step start = [](PlayerStatus& s) { s.started(); };
const Step pause = [](PlayerStatus& s) { s.setPaused(true); };
const Step unpause = [](PlayerStatus& s) { s.setPaused(false); };
const Step starve = [](PlayerStatus& s) { s.setWaitingForCache(true); };
const Step fed = [](PlayerStatus& s) { s.setWaitingForCache(false); };
const Step eof = [](PlayerStatus& s) { s.ended(PlaybackEnd::Finished); };
const Step stopEnd = [](PlayerStatus& s) { s.ended(PlaybackEnd::Stopped); };
const Step redirect = [](PlayerStatus& s) { s.ended(PlaybackEnd::Redirected); };
const Step stopIdle = [](PlayerStatus& s) { s.stopped(); };
const Step leave = [](PlayerStatus& s) { s.leaving(); };
const Step reconnect = [](PlayerStatus& s) { s.reconnecting(); };
const Step refuse = [](PlayerStatus& s) { s.refused("not a network stream address"); };
Step buffered(long percent) {
  return [percent](PlayerStatus& s) { s.setBufferedPercent(percent); };
}
Step fail(const std::string& error) {
  return [error](PlayerStatus& s) { s.ended(PlaybackEnd::Failed, error); };
}
Step logged(const std::string& source, bool isError, const std::string& text) {
  return [=](PlayerStatus& s) { s.noteProblem(source, isError, text); };
}

struct Case {
  const char* name;
  std::vector<Step> steps;
  std::string expected;
};

TEST(PlayerStatus, TextFollowsTheEngineReports) {
  const std::vector<Case> cases = {
      {"nothing yet", {}, "Stopped"},
      {"address being opened", {open}, "Opening media..."},
      {"format known, no picture yet", {open, load}, "Buffering (0%)"},
      {"first frame", {open, load, start}, "Playing"},
      {"paused while playing", {open, load, start, pause}, "Paused"},
      {"resumed", {open, load, start, pause, unpause}, "Playing"},
      {"paused before the format is known", {pause, open, load}, "Paused"},
      {"opening stays opening while paused", {pause, open}, "Opening media..."},
      {"cache ran dry", {open, load, start, starve, buffered(45)}, "Buffering (45%)"},
      {"cache refilled", {open, load, start, starve, buffered(45), fed}, "Playing"},
      {"pause wins over buffering", {open, load, start, starve, pause}, "Paused"},
      {"percent clamped high", {open, load, start, starve, buffered(250)}, "Buffering (100%)"},
      {"percent clamped low", {open, load, start, starve, buffered(-3)}, "Buffering (0%)"},
      {"a new address forgets the old percent", {open, load, buffered(80), open, load}, "Buffering (0%)"},
      {"stopped while playing", {open, load, start, stopEnd}, "Stopped"},
      {"lost, waiting to open again", {open, load, start, eof, reconnect}, "Reconnecting..."},
      {"opened again after a loss", {open, load, start, eof, reconnect, open}, "Opening media..."},
      {"playing again after a loss", {open, load, start, eof, reconnect, open, load, start}, "Playing"},
      {"stopped while waiting to open again", {open, load, start, eof, reconnect, stopIdle}, "Stopped"},
      {"stop with nothing open", {open, load, start, eof, stopIdle}, "Stopped"},
      {"stream reached its end", {open, load, start, eof}, "Finished"},
      {"refused address", {refuse}, "Refused: not a network stream address"},
      {"late end of what played before a refusal", {open, load, start, refuse, stopEnd, fail("x")},
       "Refused: not a network stream address"},
      {"stop after a refusal", {refuse, stopIdle}, "Stopped"},
      {"a new address after a refusal", {refuse, open}, "Opening media..."},
      {"redirect keeps opening", {open, redirect}, "Opening media..."},
      {"pause does not hide a stop", {open, load, start, pause, stopEnd}, "Stopped"},
      {"an item being left keeps its text", {open, load, start, pause, leave, unpause}, "Paused"},
      {"until its end", {open, load, start, pause, leave, unpause, stopEnd}, "Stopped"},
      {"the next item is not held by it", {open, load, start, leave, open, load, start}, "Playing"},
      {"leaving while opening changes nothing", {open, leave, load}, "Buffering (0%)"},
      {"late first frame after a stop is ignored", {open, load, stopEnd, start}, "Stopped"},
      {"late file-loaded after a failure is ignored", {open, fail("loading failed"), load},
       "Cannot open the stream: loading failed"},
      {"failed to open, engine reason only", {open, fail("loading failed")},
       "Cannot open the stream: loading failed"},
      {"failed to open, no reason at all", {open, fail("")}, "Cannot open the stream: unknown error"},
      {"network error explains the failure",
       {open, logged("ffmpeg", false, "http: HTTP error 404 File not found\n"),
        logged("stream", true, "Failed to open http://127.0.0.1:1/a.ts.\n"), fail("loading failed")},
       "Cannot open the stream: HTTP error 404 File not found"},
      {"refused connection",
       {open, logged("ffmpeg", true, "tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused\n"),
        fail("loading failed")},
       "Cannot open the stream: Connection to tcp://127.0.0.1:1 failed: Connection refused"},
      {"a network line queued behind the failure still explains it",
       {open, fail("loading failed"), logged("ffmpeg", true, "tcp: Connection refused\n")},
       "Cannot open the stream: Connection refused"},
      {"first error when the network said nothing",
       {open, logged("demux", true, "No stream found.\n"), logged("cplayer", true, "Other.\n"),
        fail("loading failed")},
       "Cannot open the stream: No stream found."},
      {"warnings from elsewhere do not explain failures",
       {open, logged("vo/x11", false, "legacy VO\n"), fail("loading failed")},
       "Cannot open the stream: loading failed"},
      {"only the first network message counts",
       {open, logged("ffmpeg", false, "http: HTTP error 500\n"), logged("ffmpeg", false, "later\n"),
        fail("loading failed")},
       "Cannot open the stream: HTTP error 500"},
      {"blank log lines are ignored",
       {open, logged("ffmpeg", true, "  \n"), fail("loading failed")},
       "Cannot open the stream: loading failed"},
      {"upper-case tag is part of the message",
       {open, logged("ffmpeg", true, "HTTP: odd\n"), fail("x")}, "Cannot open the stream: HTTP: odd"},
      {"problems of the previous address are forgotten",
       {open, logged("ffmpeg", true, "tcp: refused\n"), fail("loading failed"), open, fail("no audio or video")},
       "Cannot open the stream: no audio or video"},
      {"stream died while playing",
       {open, load, start, logged("ffmpeg", true, "tcp: Connection reset by peer\n"), fail("read error")},
       "Stream ended with an error: Connection reset by peer"},
      {"failure, then the next address opens", {open, fail("loading failed"), open}, "Opening media..."},
  };
  for (const auto& c : cases) {
    PlayerStatus status;
    for (const auto& step : c.steps) step(status);
    EXPECT_EQ(status.text(), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace zephra
