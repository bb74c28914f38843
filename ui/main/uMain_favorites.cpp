// Adding favorites on the local server and reading its replies.
//
// Requests go through the hidden browser wbQuery and nothing remembers what was asked: every
// document that completes there is taken as a reply. The status bar panel is shared with the
// player's status texts; whichever writes last is what the user sees.
#include <wx/menuitem.h>

#include "player_logic/reply_reader.h"
#include "player_logic/service_addresses.h"
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::addFavoriteById(const std::string& id) {
  setStatusText("Adding Favorite");
  wbQuery->navigate(addFavoriteByIdUrl(LocalBase, AccountCode, id));
}

void TfrmMain::addFavoriteByUrl(const std::string& url) {
  setStatusText("Adding Favorite");
  wbQuery->navigate(addFavoriteByUrlUrl(LocalBase, AccountCode, url));
}

void TfrmMain::mnuAddFavClick() { addFavoriteByUrl(CurrentUrl); }

// A page without a readable reply number (the browser's own error page, say) throws here and
// ends the handling: no refresh, and "Adding Favorite" stays.
void TfrmMain::wbQueryDocumentComplete() {
  const int32_t reply = readReplyNumber(*wbQuery);
  if (reply == contract::kReplyDone) {
    setStatusText("New Favorite Added Successfuly - Refreshing content");
    // Reloads whatever wbApp shows, visible or not; the reload is not waited for.
    wbApp().refresh();
    setStatusText("Channels refreshed");
  } else if (reply == contract::kReplyRefused) {
    setStatusText("Favorite Addition Failed");
    wbApp().refresh();
  }
}

}  // namespace zephra
