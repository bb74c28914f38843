// Entry of Zephra Player: creates the four windows and runs the message loop.
#include <exception>

#include <wx/app.h>
#include <wx/log.h>
#include <wx/msgdlg.h>

#include "common/zephra_constants.h"
#include "platform/display_backend.h"
#include "platform/toolkit_sanitizer_options.h"
#include "ui/dialogs/uAbout.h"
#include "ui/dialogs/uHelp.h"
#include "ui/dialogs/uUpdate.h"
#include "ui/main/platform_parts.h"
#include "ui/main/uMain.h"

namespace zephra {

namespace {

// An error that escaped an event handler: the main window's policy (dropped once start-up has
// installed ignoreException), or the default report when there is no main window.
void handleEscapedError(const std::exception_ptr& error) {
  if (frmMain) {
    frmMain->handleEscapedError(error);
    return;
  }
  wxMessageDialog(nullptr, wxString::FromUTF8(defaultErrorReportText(errorMessage(error))), kApplicationTitle,
                  wxOK | wxICON_ERROR)
      .ShowModal();
}

}  // namespace

class ZephraApp : public wxApp {
 public:
  bool OnInit() override {
    SetAppName("zephra-player");
    SetAppDisplayName(kApplicationTitle);
    // Nothing is logged: a failed browser script must not pop up a log window.
    delete wxLog::SetActiveTarget(new wxLogStderr());

    auto* main = new TfrmMain(realPlatformParts());
    SetTopWindow(main);
    // Closing the main window ends the application, although the other three windows (hidden,
    // never closed) are still there.
    main->Bind(wxEVT_DESTROY, [this, main](wxWindowDestroyEvent& event) {
      if (event.GetEventObject() == main) ExitMainLoop();
      event.Skip();
    });
    const WebViewFactory& createWebView = main->platform().createWebView;
    frmAbout = new TfrmAbout(createWebView);
    frmHelp = new TfrmHelp(createWebView);
    fmUpdate = new TfmUpdate(createWebView);
    // Visible only once the message loop runs, never during the start-up wait.
    CallAfter([main] { main->Show(); });
    return true;
  }

  int OnExit() override {
    // The three other windows live until the end; take them down with the application.
    for (wxWindow* window : {static_cast<wxWindow*>(fmUpdate), static_cast<wxWindow*>(frmHelp),
                             static_cast<wxWindow*>(frmAbout)})
      if (window) window->Destroy();
    fmUpdate = nullptr;
    frmHelp = nullptr;
    frmAbout = nullptr;
    return wxApp::OnExit();
  }

  bool OnExceptionInMainLoop() override {
    handleEscapedError(std::current_exception());
    return true;  // the message loop goes on
  }

  void OnUnhandledException() override { handleEscapedError(std::current_exception()); }
};

}  // namespace zephra

wxIMPLEMENT_APP_NO_MAIN(zephra::ZephraApp);

int main(int argc, char** argv) {
  zephra::chooseDisplayBackend();
  return wxEntry(argc, argv);
}
