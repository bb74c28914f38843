// wxWidgets started by a test or benchmark program that has its own main(): `app` becomes the
// application object, and log messages go to stderr, since a headless run must never open a
// modal log box. wxWidgets is cleaned up when the session ends.
#pragma once

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

namespace zephra::test {

class WxSession {
 public:
  WxSession(wxApp* app, char* program) {
    wxApp::SetInstance(app);
    int argc = 1;
    char* argv[] = {program, nullptr};
    m_started = wxEntryStart(argc, argv);
    if (!m_started) return;
    wxTheApp->CallOnInit();
    delete wxLog::SetActiveTarget(new wxLogStderr());
  }
  ~WxSession() {
    if (m_started) wxEntryCleanup();
  }
  WxSession(const WxSession&) = delete;
  WxSession& operator=(const WxSession&) = delete;

  bool started() const { return m_started; }

 private:
  bool m_started = false;
};

}  // namespace zephra::test
