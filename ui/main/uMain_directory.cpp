// The directory view: link commands, the favorites filter, Organize Favorites and Report.
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::tabBrowserwbAppBeforeNavigate2(const std::string&) {}
void TfrmMain::cbFavClick() {}
void TfrmMain::mnuOrgFavClick() {}
void TfrmMain::mnuReportClick() {}

}  // namespace zephra
