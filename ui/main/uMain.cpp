#include "ui/main/uMain.h"

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/statusbr.h>

#include "common/zephra_constants.h"
#include "platform/check_box_look.h"
#include "player_logic/service_addresses.h"
#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"
#include "ui/controls/graphic_picture.h"
#include "ui/frames/uFrame.h"
#include "ui/frames/uFrame2.h"
#include "ui/main/main_background.h"

namespace zephra {

TfrmMain* frmMain = nullptr;

namespace {

constexpr int kClientWidth = 718;
constexpr int kClientHeight = 576;

// Fixed size: no resize border and no maximize button.
constexpr long kMainWindowStyle = wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX;

std::unique_ptr<TImageButton> imageButton(GraphicHost& host, int left, int top, int width, int height) {
  auto button = std::make_unique<TImageButton>(host);
  button->setBounds(left, top, width, height);
  return button;
}

}  // namespace

TfrmMain::TfrmMain(PlatformParts platform)
    : wxFrame(nullptr, wxID_ANY, kApplicationTitle, wxPoint(192, 114), wxDefaultSize, kMainWindowStyle),
      tmrWait(this),
      tmrServerRestart(this),
      tmrRecord(this),
      m_platform(std::move(platform)) {
  frmMain = this;
  // Own colours only: children such as the status bar keep the system's look.
  SetOwnBackgroundColour(*wxBLACK);
  try {
    createMenu();
    SetClientSize(kClientWidth, kClientHeight);
    createControls();
    bindEvents();
  } catch (...) {
    // A window that cannot be built (no media player, no browser) never existed: the error goes
    // to the application's report, which must not find a main window that is half gone.
    if (wxTheApp) wxTheApp->Unbind(wxEVT_QUERY_END_SESSION, &TfrmMain::onQueryEndSession, this);
    frmMain = nullptr;
    throw;
  }
  try {
    FormCreate();
  } catch (...) {
    handleEscapedError(std::current_exception());
  }
}

TfrmMain::~TfrmMain() {
  FormDestroy();
  tmrWait.Stop();
  tmrRecord.Stop();
  tmrServerRestart.Stop();
  if (wxTheApp) wxTheApp->Unbind(wxEVT_QUERY_END_SESSION, &TfrmMain::onQueryEndSession, this);
  // The graphic controls unregister from the host, so they go before it.
  imgSound.reset();
  imFullScreen.reset();
  imSound.reset();
  imStop.reset();
  imTabPlayer.reset();
  imTabBrowser.reset();
  imPlay.reset();
  lbStatus.reset();
  imBackground.reset();
  m_graphics.reset();
  wbUpdate.reset();
  wbQuery.reset();
  if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::createMenu() {
  auto* bar = new wxMenuBar();
  auto* file = new wxMenu();
  mnuPlay = file->Append(wxID_ANY, "Play");
  mnuPause = file->Append(wxID_ANY, "Pause");
  mnuStop = file->Append(wxID_ANY, "Stop");
  mnuReport = file->Append(wxID_ANY, "Report");
  Exit1 = file->Append(wxID_ANY, "Exit");
  bar->Append(file, "File");
  auto* view = new wxMenu();
  mnuFullscreen = view->Append(wxID_ANY, "Fullscreen");
  bar->Append(view, "View");
  auto* favorites = new wxMenu();
  mnuAddFav = favorites->Append(wxID_ANY, "Add to Favorites");
  mnuOrgFav = favorites->Append(wxID_ANY, "Organize Favorites");
  bar->Append(favorites, "Favorites");
  auto* help = new wxMenu();
  Help2 = help->Append(wxID_ANY, "Help");
  About1 = help->Append(wxID_ANY, "About");
  bar->Append(help, "Help");
  SetMenuBar(bar);
}

void TfrmMain::createControls() {
  // One panel fills the client area; the graphic controls are painted on it and every windowed
  // control is its child, so windows always lie above the pictures.
  m_client = new wxPanel(this, wxID_ANY, wxPoint(0, 0), wxSize(kClientWidth, kClientHeight), wxBORDER_NONE);
  m_client->SetOwnBackgroundColour(*wxBLACK);
  m_client->SetFont(wxFont(8, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
  m_graphics = std::make_unique<GraphicHost>(m_client);

  imBackground = std::make_unique<GraphicPicture>(*m_graphics);
  imBackground->setBounds(0, 0, 721, 561);
  try {
    imBackground->setPicture(mainBackgroundPicture());
  } catch (...) {
    handleEscapedError(std::current_exception());
  }
  lbStatus = std::make_unique<GraphicLabel>(*m_graphics);
  lbStatus->setBounds(15, 472, 3, 13);
  lbStatus->setColour(*wxWHITE);
  imPlay = imageButton(*m_graphics, 328, 494, 55, 57);
  imTabBrowser = imageButton(*m_graphics, 26, 29, 100, 34);
  imTabPlayer = imageButton(*m_graphics, 132, 29, 99, 32);
  imStop = imageButton(*m_graphics, 384, 510, 28, 26);
  imSound = imageButton(*m_graphics, 412, 510, 30, 26);
  imFullScreen = imageButton(*m_graphics, 196, 509, 119, 30);
  imgSound = imageButton(*m_graphics, 654, 499, 27, 24);

  tabPlayer = new TFrame1(m_client, 8, 61, 703, 428, m_platform.createMediaPlayer);
  tabBrowser = new TFrame2(m_client, 8, 61, 703, 428, m_platform.createWebView);

  sbStatus = new wxStatusBar(m_client, wxID_ANY, wxSTB_SHOW_TIPS | wxSTB_ELLIPSIZE_END | wxFULL_REPAINT_ON_RESIZE);
  sbStatus->SetSize(0, 557, kClientWidth, 19);
  // On GTK a status bar outside a frame takes its parent's (black) colour unless told otherwise.
  sbStatus->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  sbStatus->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT));
  const int panelWidths[] = {400};
  sbStatus->SetFieldsCount(1, panelWidths);

  // The hidden browsers sit above the top edge: out of sight, yet visible to the toolkit, so
  // that they still load pages and raise their events.
  wbQuery = m_platform.createWebView(m_client, 16, -40, 20, 14);

  cbFav = new wxCheckBox(m_client, wxID_ANY, "Show Favorite Only", wxPoint(595, 41), wxSize(114, 14));
  cbFav->SetBackgroundColour(wxColour(37, 37, 37));
  cbFav->SetForegroundColour(*wxWHITE);
  makeCheckBoxCompact(cbFav);
  // The desktop's sans-serif runs wider than the font the skin was laid out for: a smaller size
  // keeps the whole caption inside the box's fixed place.
  for (int points = 7; cbFav->GetBestSize().x > cbFav->GetSize().x && points >= 6; --points) {
    wxFont smaller = cbFav->GetFont();
    smaller.SetPointSize(points);
    cbFav->SetFont(smaller);
  }

  wbUpdate = m_platform.createWebView(m_client, 16, -40, 28, 14);

  tbVolume = new TExTrackBar(m_client, 623, 527, 86, 17, 15);
  tbVolume->setShowSelRange(false);
}

void TfrmMain::bindEvents() {
  Bind(wxEVT_CLOSE_WINDOW, &TfrmMain::onClose, this);
  if (wxTheApp) wxTheApp->Bind(wxEVT_QUERY_END_SESSION, &TfrmMain::onQueryEndSession, this);
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { tmrWaitTimer(); }, tmrWait.GetId());
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { tmrServerRestartTimer(); }, tmrServerRestart.GetId());
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { tmrRecordTimer(); }, tmrRecord.GetId());

  const auto menu = [this](wxMenuItem* item, void (TfrmMain::*handler)()) {
    Bind(wxEVT_MENU, [this, handler](wxCommandEvent&) { (this->*handler)(); }, item->GetId());
  };
  menu(mnuPlay, &TfrmMain::mnuPlayClick);
  menu(mnuPause, &TfrmMain::mnuPauseClick);
  menu(mnuStop, &TfrmMain::mnuStopClick);
  menu(mnuReport, &TfrmMain::mnuReportClick);
  menu(Exit1, &TfrmMain::Exit1Click);
  menu(mnuFullscreen, &TfrmMain::mnuFullscreenClick);
  menu(mnuAddFav, &TfrmMain::mnuAddFavClick);
  menu(mnuOrgFav, &TfrmMain::mnuOrgFavClick);
  menu(Help2, &TfrmMain::Help2Click);
  menu(About1, &TfrmMain::About1Click);

  imPlay->OnClick = [this](TImageButton* sender) { imPlayClick(sender); };
  imTabBrowser->OnClick = [this](TImageButton* sender) { imTabBrowserClick(sender); };
  imTabPlayer->OnClick = [this](TImageButton* sender) { imTabPlayerClick(sender); };
  imStop->OnClick = [this](TImageButton* sender) { imStopClick(sender); };
  imSound->OnClick = [this](TImageButton* sender) { imSoundClick(sender); };
  imFullScreen->OnClick = [this](TImageButton* sender) { imFullScreenClick(sender); };
  imgSound->OnClick = [this](TImageButton* sender) { imSoundClick(sender); };

  cbFav->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { cbFavClick(); });

  wbApp().onBeforeNavigate2 = [this](const std::string& url) { tabBrowserwbAppBeforeNavigate2(url); };
  wbApp().onConnectionFailed = [this](const std::string& url) { wbAppConnectionFailed(url); };
  // A directory page shown again has the playing channel marked and in view.
  wbApp().onDocumentComplete = [this] {
    preparePlayerWhenIdle();
    markPlayingChannel();
  };
  wbQuery->onDocumentComplete = [this] { wbQueryDocumentComplete(); };
  wbUpdate->onNavigateComplete2 = [this] { wbUpdateNavigateComplete2(); };
  wmApp().onMediaChange = [this] { tabPlayerwmAppMediaChange(); };
  tbVolume->onChange = [this] { tbVolumeChange(); };
  bindKeys();
}

WebView& TfrmMain::wbApp() { return *tabBrowser->wbApp; }

MediaPlayer& TfrmMain::wmApp() { return *tabPlayer->wmApp; }

void TfrmMain::setStatusText(const std::string& text) { sbStatus->SetStatusText(wxString::FromUTF8(text), 0); }

std::string TfrmMain::statusText() const { return sbStatus->GetStatusText(0).ToStdString(wxConvUTF8); }

// --- views ---

void TfrmMain::showPlayerView() {
  tabBrowser->Hide();
  tabPlayer->Show();
}

void TfrmMain::showDirectoryView() {
  tabPlayer->Hide();
  tabBrowser->Show();
}

void TfrmMain::imTabBrowserClick(TImageButton*) {
  const std::string flag = cbFav->IsChecked() ? "1" : "0";
  wbApp().navigate(channelDirectoryUrl(LocalBase, AccountCode, flag));
  showDirectoryView();
  tbVolume->Hide();
  cbFav->Show();
  imPlay->hide();
  imgSound->hide();
  imFullScreen->hide();
  imSound->hide();
  imStop->hide();
}

void TfrmMain::imTabPlayerClick(TImageButton*) {
  showPlayerView();
  cbFav->Hide();
  tbVolume->Show();
  imPlay->show();
  imgSound->show();
  imFullScreen->show();
  imStop->show();
  imSound->show();
}

void TfrmMain::disableButton() {
  mnuPlay->Enable(false);
  mnuStop->Enable(false);
  mnuPause->Enable(false);
  mnuReport->Enable(false);
  mnuFullscreen->Enable(false);
  imPlay->hide();
  imFullScreen->hide();
  imStop->hide();
  imSound->hide();
  imgSound->hide();
}

void TfrmMain::enableButton() {
  mnuPlay->Enable(true);
  mnuStop->Enable(true);
  mnuPause->Enable(true);
  mnuReport->Enable(true);
  mnuFullscreen->Enable(true);
  imPlay->show();
  imPlay->setEnabled(false);
  imStop->show();
  imSound->show();
  imgSound->show();
}

// --- close and destroy ---

void TfrmMain::Exit1Click() { Close(); }

void TfrmMain::FormCloseQuery(bool& CanClose) {
  const int answer = m_platform.messageBox(this, "Are you sure want to close Application ?", "Confirmation",
                                           wxYES_NO | wxYES_DEFAULT | wxICON_QUESTION);
  if (answer != wxID_YES) {
    CanClose = false;
    return;
  }
  endRecording();
  wmApp().stop();
  CanClose = true;
}

void TfrmMain::onClose(wxCloseEvent& event) {
  if (event.CanVeto()) {
    bool canClose = true;
    try {
      FormCloseQuery(canClose);
    } catch (...) {
      // A failed stop ends the close handling: the window stays open.
      event.Veto();
      handleEscapedError(std::current_exception());
      return;
    }
    if (!canClose) {
      event.Veto();
      return;
    }
  }
  Destroy();
}

void TfrmMain::onQueryEndSession(wxCloseEvent& event) {
  event.Skip();  // others may want to know as well
  bool canClose = true;
  try {
    FormCloseQuery(canClose);
  } catch (...) {
    canClose = false;
    handleEscapedError(std::current_exception());
  }
  if (!canClose && event.CanVeto()) event.Veto();
}

void TfrmMain::FormDestroy() {
  if (m_destroyed) return;
  m_destroyed = true;
  if (m_mouseFilterInstalled) {
    m_mouseFilterInstalled = false;
    try {
      m_platform.removeMouseFilter();
    } catch (...) {
      // Nothing left to do about a filter that will not go: the process is ending.
    }
  }
}

// --- errors ---

void TfrmMain::ignoreException(const std::exception_ptr&) {}

void TfrmMain::handleEscapedError(const std::exception_ptr& error) {
  if (m_ignoreExceptionInstalled) {
    ignoreException(error);
    return;
  }
  m_platform.messageBox(nullptr, defaultErrorReportText(errorMessage(error)), kApplicationTitle,
                        wxOK | wxICON_ERROR);
}

std::string defaultErrorReportText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
    return message + ".";
  return message;
}

std::string errorMessage(const std::exception_ptr& error) {
  if (!error) return {};
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return {};
  }
}

}  // namespace zephra
