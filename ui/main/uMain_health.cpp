// Telling the local server how each play fared, so its directory can mark the channels that
// failed: the first outcome after a play begins, opened (with the time since the click) or
// failed (with the player's status text). Sent off the UI thread; nothing waits for it.
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::notePlayStarted() {
  m_playStarted = std::chrono::steady_clock::now();
  m_playOutcomePending = !CurrentUrl.empty() && !LocalBase.empty();
}

void TfrmMain::notePlayOutcome(bool opened) {
  if (!m_playOutcomePending) return;
  PlayOutcome outcome;
  outcome.url = CurrentUrl;
  if (opened) {
    outcome.ok = true;
    outcome.openMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - m_playStarted)
                         .count();
  } else if (wmApp().failed()) {
    outcome.reason = wmApp().status();
  } else {
    return;  // still opening
  }
  m_playOutcomePending = false;
  m_playReports.send(playReportAddress(LocalBase, outcome));
}

}  // namespace zephra
