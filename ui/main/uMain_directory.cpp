// The directory view: link commands, the favorites filter, Organize Favorites and Report.
#include <wx/checkbox.h>
#include <wx/menuitem.h>

#include "common/contract.h"
#include "player_logic/link_command.h"
#include "player_logic/service_addresses.h"
#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"
#include "ui/frames/uFrame.h"
#include "ui/frames/uFrame2.h"
#include "ui/main/play_button_pictures.h"
#include "ui/main/uMain.h"

namespace zephra {

// Every navigation passes through here, sub-frames and our own requests included. It never
// cancels: a link command is acted on and the browser then goes on as with any other link.
void TfrmMain::tabBrowserwbAppBeforeNavigate2(const std::string& URL) {
  const std::optional<LinkCommand> command = decodeLinkCommand(URL);
  if (!command) return;
  if (command->kind == contract::kPlayLink) {
    playLinkValue(command->value);
  } else if (command->kind == contract::kAddFavoriteLink) {
    addFavoriteById(command->value);
  }
}

void TfrmMain::playLinkValue(const std::string& value) {
  // The three buttons playChannel does not show itself.
  imFullScreen->show();
  imStop->show();
  imSound->show();
  playChannel(value);
}

void TfrmMain::cbFavClick() {
  const std::string flag = cbFav->IsChecked() ? "1" : "0";
  wbApp().navigate(channelDirectoryUrl(LocalBase, AccountCode, flag));
}

void TfrmMain::mnuOrgFavClick() { openServicePage(favoritesManagerUrl(LocalBase, AccountCode)); }

void TfrmMain::mnuReportClick() { openServicePage(reportChannelUrl(RemoteBase, CurrentUrl)); }

// Organize Favorites and Report share one sequence: stop, back to the directory view with the
// playback controls put away, then open the page.
void TfrmMain::openServicePage(const std::string& url) {
  wmApp().stop();
  mnuFullscreen->Enable(false);
  showDirectoryView();
  // The player was just stopped: the button offers Play when it is next shown.
  PlayIsShown = true;
  installPlayTriple(*imPlay);
  imPlay->refreshImage();
  cbFav->Hide();
  imPlay->hide();
  imSound->hide();
  imFullScreen->hide();
  imStop->hide();
  imgSound->hide();
  tbVolume->Hide();
  wbApp().navigate(url);
}

}  // namespace zephra
