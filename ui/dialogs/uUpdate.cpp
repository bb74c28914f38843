#include "ui/dialogs/uUpdate.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/settings.h>
#include <wx/stattext.h>

#include "common/contract.h"
#include "player_logic/content_stamp.h"
#include "player_logic/service_addresses.h"
#include "ui/dialogs/lazy_web_view.h"
#include "ui/main/uMain.h"

namespace zephra {

TfmUpdate* fmUpdate = nullptr;

namespace {

// Where the local server picks the package up, relative to AppDir.
const std::string kPackageFile = std::string(contract::kDocumentRoot) + contract::kUpdatePackage;

TfrmMain& mainWindow() {
  if (!frmMain) throw std::logic_error("The main window does not exist");
  return *frmMain;
}

}  // namespace

// No border icons at all: the window is left through its own buttons only.
TfmUpdate::TfmUpdate(const WebViewFactory& createWebView, wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Updates", wxDefaultPosition, wxDefaultSize, wxCAPTION) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  SetFont(wxFont(8, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
  SetClientSize(325, 165);
  // Created in tab order; the label takes no focus.
  Label1 = new wxStaticText(this, wxID_ANY, "Update Progress", wxPoint(8, 8));
  pgDownload = new wxGauge(this, wxID_ANY, 100, wxPoint(32, 32), wxSize(281, 25));
  btUpdate = new wxButton(this, wxID_ANY, "Update Now", wxPoint(168, 136), wxSize(75, 25));
  Button1 = new wxButton(this, wxID_ANY, "Close", wxPoint(248, 136), wxSize(67, 25));
  wbInfo = std::make_unique<LazyWebView>(createWebView, this, wxRect(32, 64, 281, 65));
  btUpdate->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { btUpdateClick(); });
  Button1->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Button1Click(); });
  Bind(wxEVT_CLOSE_WINDOW, &TfmUpdate::onClose, this);
  CentreOnScreen();
}

TfmUpdate::~TfmUpdate() { wbInfo.reset(); }

// Clicks keep arriving during a download (its event loop runs), but one transfer at a time, and
// the window stays until it has ended.
void TfmUpdate::btUpdateClick() {
  if (downloading()) return;
  startDownload();
}

void TfmUpdate::Button1Click() {
  if (downloading()) return;
  if (IsModal())
    EndModal(wxID_CLOSE);
  else
    Hide();
}

// Escape and the window manager's close behave as Close.
void TfmUpdate::onClose(wxCloseEvent& event) {
  if (downloading() && event.CanVeto()) {
    event.Veto();
    return;
  }
  Button1Click();
}

void TfmUpdate::startDownload() {
  TfrmMain& main = mainWindow();
  m_download = std::make_unique<Download>();
  // Released on every way out, the failed download included.
  struct Release {
    std::unique_ptr<Download>& download;
    ~Release() { download.reset(); }
  } release{m_download};
  m_download->source = updatePackageUrl(main.RemoteBase);
  m_download->target = main.AppDir + kPackageFile;
  m_download->onProgress = [this](Download* sender, uint32_t progress, uint32_t progressMax, uint32_t statusCode,
                                  const std::string& statusText, bool& cancel) {
    downloadProgress(sender, progress, progressMax, statusCode, statusText, cancel);
  };
  m_download->settings = downloadSettings;
  m_download->run();
}

void TfmUpdate::downloadProgress(Download*, uint32_t Progress, uint32_t ProgressMax, uint32_t StatusCode,
                                 const std::string&, bool&) {
  // The bar counts in int: counts beyond its range are halved, which keeps the proportion.
  const int shift = ProgressMax > static_cast<uint32_t>(INT_MAX) || Progress > static_cast<uint32_t>(INT_MAX);
  const int maximum = static_cast<int>(ProgressMax >> shift);
  const int position = static_cast<int>(Progress >> shift);
  pgDownload->SetRange(maximum);
  if (maximum == 0 && position > 0)
    pgDownload->Pulse();  // data arrives, the server gave no total
  else
    pgDownload->SetValue(std::min(position, maximum));
  // Only the downloader's last report means the package is complete and in place: counts that
  // meet earlier (0 of 0 before any data, or all bytes read before the file is closed) do not.
  if (StatusCode == static_cast<uint32_t>(DownloadStage::Finished) && Progress == ProgressMax) installUpdate();
}

void TfmUpdate::installUpdate() {
  TfrmMain& main = mainWindow();
  writeContentStamp(main.AppDir + "config.ini", NewStamp);
  wbInfo->navigate(localUpdateInstallUrl(main.LocalBase));
}

}  // namespace zephra
