// Adding favorites on the local server and reading its replies.
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::addFavoriteById(const std::string&) {}
void TfrmMain::addFavoriteByUrl(const std::string&) {}
void TfrmMain::mnuAddFavClick() {}
void TfrmMain::wbQueryDocumentComplete() {}

}  // namespace zephra
