// The update check's reply and the About and Help windows.
#include <stdexcept>

#include <wx/msgdlg.h>

#include "platform/top_window.h"
#include "player_logic/reply_reader.h"
#include "ui/dialogs/uAbout.h"
#include "ui/dialogs/uHelp.h"
#include "ui/dialogs/uUpdate.h"
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::wbUpdateNavigateComplete2() {
  if (readReplyNumber(*wbUpdate) != contract::kReplyDone) return;
  const int answer = m_platform.messageBox(this, "New updates Available.\r\nDo you want to download the new updates?",
                                           "Application updates", wxYES_NO | wxYES_DEFAULT | wxICON_NONE);
  if (answer != wxID_YES) return;
  const std::string stamp = readReplyText(*wbUpdate, contract::kReplyTimeId);
  if (!fmUpdate) throw std::logic_error("The Updates window does not exist");
  // A reply loaded again while the window is up must not open it a second time.
  if (fmUpdate->IsModal()) return;
  fmUpdate->NewStamp = stamp;
  fmUpdate->ShowModal();
}

void TfrmMain::About1Click() {
  if (!frmAbout) throw std::logic_error("The About window does not exist");
  // The window the user just asked for gets the focus, also where new windows do not take it.
  takeTimeOfCurrentInput(*frmAbout);
  frmAbout->ShowModal();
}

void TfrmMain::Help2Click() {
  if (!frmHelp) throw std::logic_error("The Help window does not exist");
  takeTimeOfCurrentInput(*frmHelp);
  frmHelp->Show();
  frmHelp->Raise();
}

}  // namespace zephra
