// The update check's reply and the About and Help windows.
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::wbUpdateNavigateComplete2() {}
void TfrmMain::About1Click() {}
void TfrmMain::Help2Click() {}

}  // namespace zephra
