// The reference for the start-up and memory benchmarks: the least a program can do to show the
// channel directory, one wxWebView in a frame of the main window's size, loading one address.
//
//   zephra_bare_webview URL [WAIT_MS]
//
// WAIT_MS, when given, is waited with the event loop running before the page is asked for: the
// time the player gives a local server it has just started.
#include <cstdlib>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/timer.h>
#include <wx/webview.h>

class BareApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc < 2) return false;
    delete wxLog::SetActiveTarget(new wxLogStderr());
    const wxString url = argv[1];
    const long waitMs = argc > 2 ? std::atol(argv[2].utf8_str()) : 0;
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bare web view", wxPoint(192, 114), wxSize(718, 576));
    wxWebView* view = wxWebView::New(frame, wxID_ANY);
    if (waitMs > 0) {
      m_wait.Bind(wxEVT_TIMER, [view, url](wxTimerEvent&) { view->LoadURL(url); });
      m_wait.StartOnce(static_cast<int>(waitMs));
    } else {
      view->LoadURL(url);
    }
    frame->Show();
    return true;
  }

 private:
  wxTimer m_wait;
};

wxIMPLEMENT_APP(BareApp);
