// TfrmMain: the fixed-size, skinned main window. It owns every control, the two views and all
// shared state; its handlers are split over several files by concern:
//   uMain.cpp            construction, layout, menu, views, tab buttons, close and destroy
//   uMain_startup.cpp    the start-up sequence run while the window is created
//   uMain_playback.cpp   playing a channel and the playback commands
//   uMain_directory.cpp  link commands, favorites filter, Organize Favorites and Report
//   uMain_favorites.cpp  adding favorites and reading the replies
//   uMain_info.cpp       the update check's reply, About and Help
//   uMain_keys.cpp       the player view's keyboard keys
//   uMain_server.cpp     starting the local server again when it has gone away
//   uMain_zap.cpp        zapping through the directory page's channels
//   uMain_health.cpp     telling the local server how each play fared
//   uMain_record.cpp     seeking and recording from the keys
#pragma once

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include <wx/frame.h>
#include <wx/timer.h>

#include "player_logic/play_report.h"
#include "player_logic/recording_session.h"
#include "ui/main/platform_parts.h"

class wxCheckBox;
class wxCloseEvent;
class wxMenuItem;
class wxPanel;
class wxStatusBar;

namespace zephra {

class GraphicHost;
class TExTrackBar;
class TFrame1;
class TFrame2;
class TImageButton;
class GraphicLabel;
class GraphicPicture;

class TfrmMain : public wxFrame {
 public:
  // Creates the window hidden and runs the start-up sequence (FormCreate). An error that ends the
  // sequence early is reported by the application's error handling; the window exists either way.
  explicit TfrmMain(PlatformParts platform);
  ~TfrmMain() override;

  // --- state ---
  std::string AppDir;
  std::string RemoteBase;
  std::string LocalBase;
  std::string AccountCode;
  std::string ContentStamp;
  std::string CurrentUrl;
  // The channel played before CurrentUrl (Backspace goes back to it); empty until a second one.
  std::string PreviousUrl;
  bool PlayIsShown = false;
  bool ServerReady = false;

  // --- graphic controls, bottom to top ---
  std::unique_ptr<GraphicPicture> imBackground;
  std::unique_ptr<GraphicLabel> lbStatus;
  std::unique_ptr<TImageButton> imPlay;
  std::unique_ptr<TImageButton> imTabBrowser;
  std::unique_ptr<TImageButton> imTabPlayer;
  std::unique_ptr<TImageButton> imStop;
  std::unique_ptr<TImageButton> imSound;
  std::unique_ptr<TImageButton> imFullScreen;
  std::unique_ptr<TImageButton> imgSound;

  // --- windowed controls (owned by wx as children of the client panel) ---
  TFrame1* tabPlayer = nullptr;
  TFrame2* tabBrowser = nullptr;
  wxStatusBar* sbStatus = nullptr;
  std::unique_ptr<WebView> wbQuery;
  wxCheckBox* cbFav = nullptr;
  std::unique_ptr<WebView> wbUpdate;
  TExTrackBar* tbVolume = nullptr;

  // --- menu MainMenu1 ---
  wxMenuItem* mnuPlay = nullptr;
  wxMenuItem* mnuPause = nullptr;
  wxMenuItem* mnuStop = nullptr;
  wxMenuItem* mnuReport = nullptr;
  wxMenuItem* Exit1 = nullptr;
  wxMenuItem* mnuFullscreen = nullptr;
  wxMenuItem* mnuAddFav = nullptr;
  wxMenuItem* mnuOrgFav = nullptr;
  wxMenuItem* Help2 = nullptr;
  wxMenuItem* About1 = nullptr;

  wxTimer tmrWait;
  wxTimer tmrServerRestart;  // one-shot: the wait after starting the server again
  wxTimer tmrRecord;         // while recording: the time on the picture, the free space

  // The browser of the directory view and the player of the player view.
  WebView& wbApp();
  MediaPlayer& wmApp();

  // Panel 0 of the status bar.
  void setStatusText(const std::string& text);
  std::string statusText() const;

  // The client panel the graphic controls are painted on (tests click and hit-test on it).
  wxPanel* clientPanel() const { return m_client; }
  GraphicHost& graphicHost() { return *m_graphics; }
  const PlatformParts& platform() const { return m_platform; }

  // --- start-up and shutdown ---
  void FormCreate();
  void tmrWaitTimer();
  void readContentStamp();
  void FormCloseQuery(bool& CanClose);
  void Exit1Click();
  void FormDestroy();
  // The application-wide handler for errors escaping an event handler, once installed.
  void ignoreException(const std::exception_ptr& error);
  bool ignoreExceptionInstalled() const { return m_ignoreExceptionInstalled; }
  bool mouseFilterInstalled() const { return m_mouseFilterInstalled; }
  // Where an error that escaped an event handler ends up: dropped by ignoreException once it is
  // installed, before that shown in the default error report.
  void handleEscapedError(const std::exception_ptr& error);

  // --- views ---
  void imTabBrowserClick(TImageButton* Sender);
  void imTabPlayerClick(TImageButton* Sender);
  void disableButton();
  void enableButton();

  // --- playback ---
  void playChannel(const std::string& url);
  void tabPlayerwmAppMediaChange();
  void wmAppStatusChange();  // called by TFrame1 when its player's status text changes
  void imPlayClick(TImageButton* Sender);
  void imStopClick(TImageButton* Sender);
  void imFullScreenClick(TImageButton* Sender);
  void imSoundClick(TImageButton* Sender);
  void mnuPlayClick();
  void mnuPauseClick();
  void mnuStopClick();
  void mnuFullscreenClick();
  void tbVolumeChange();
  // Once the first directory page is in, starts the player's engine when nothing else is waiting,
  // so that the first channel opens as fast as the next ones.
  void preparePlayerWhenIdle();
  // Space, F/F11, Esc, M, Page Up/Down and Backspace in the player view (uMain_keys.cpp). True
  // when the key was used.
  bool playerKeyDown(int keyCode, int modifiers);
  // --- zapping (uMain_zap.cpp) ---
  // Plays the next (+1) or previous (-1) channel of the directory page in wbApp, wrapping.
  bool zapChannel(int step);
  // Plays PreviousUrl again.
  bool playLastChannel();
  // Marks CurrentUrl's links in the directory page and scrolls the first into view.
  void markPlayingChannel();
  // The name the directory page gives the channel playing `value`; "" when it lists none.
  std::string pageChannelName(const std::string& value);
  // --- moving in time and recording (uMain_record.cpp) ---
  // The arrow keys: moves the picture `seconds`. True when the player could.
  bool seekPlayer(int seconds);
  // R: starts recording the channel playing, or stops the recording.
  bool toggleRecording();
  // Stops the recording, if one runs, and gives its file its finished name; `why` says why it
  // stopped by itself.
  void endRecording(const std::string& why = {});
  void tmrRecordTimer();
  bool isRecording() const { return m_recording.has_value(); }

  // --- directory view ---
  void tabBrowserwbAppBeforeNavigate2(const std::string& URL);
  // What a kind 1 link command does with its value.
  void playLinkValue(const std::string& value);
  void cbFavClick();
  void mnuOrgFavClick();
  void mnuReportClick();

  // --- favorites ---
  void addFavoriteById(const std::string& id);
  void addFavoriteByUrl(const std::string& url);
  void mnuAddFavClick();
  void wbQueryDocumentComplete();

  // --- the local server gone away ---
  // A directory page that cannot reach the local server while its window is gone starts the
  // server again, as start-up does, and loads the page again once it has had time to come up.
  void wbAppConnectionFailed(const std::string& url);
  void tmrServerRestartTimer();
  // Reads the local server's page secret from its data folder and gives it to the browsers and
  // the player; without one, nothing changes (the pages show the server's refusal).
  void giveLocalServerCookie();

  // --- how plays fared (uMain_health.cpp) ---
  // A play of CurrentUrl begins: its first outcome, opened or failed, goes to the local server.
  void notePlayStarted();
  // After the player's media change (`opened`) or status change: reports the outcome once.
  void notePlayOutcome(bool opened);
  PlayReporter& playReports() { return m_playReports; }

  // --- updates, About, Help ---
  void wbUpdateNavigateComplete2();
  void About1Click();
  void Help2Click();

 private:
  void createControls();
  void createMenu();
  void bindEvents();
  void bindKeys();
  void waitForServer();
  void openServicePage(const std::string& url);
  // Switch the client area between the player frame and the directory browser; the buttons
  // and the volume bar that go with each view are each caller's own.
  void showPlayerView();
  void showDirectoryView();
  void setButtonPictures(TImageButton& button, const char* off, const char* on, const char* hover);
  void onClose(wxCloseEvent& event);
  void onQueryEndSession(wxCloseEvent& event);

  PlatformParts m_platform;
  wxPanel* m_client = nullptr;
  std::unique_ptr<GraphicHost> m_graphics;  // the destructor releases the graphic controls first
  bool m_ignoreExceptionInstalled = false;
  bool m_mouseFilterInstalled = false;
  bool m_destroyed = false;
  std::optional<std::chrono::steady_clock::time_point> m_lastServerRestart;
  std::string m_reloadAfterRestart;
  // The name of the channel a zap is opening, put before the player's status until it plays.
  std::string m_openingName;
  bool m_playerPrepareQueued = false;
  PlayReporter m_playReports;
  std::chrono::steady_clock::time_point m_playStarted;
  bool m_playOutcomePending = false;
  std::optional<RecordingSession> m_recording;
  int m_menusOpen = 0;  // menus of the menu bar open now: the keys are theirs
};

// The application's single main window, through which the player frame and the other windows
// reach the shared state. Null while none exists.
extern TfrmMain* frmMain;

// The default error report's text: the message, with "." appended when it is not empty and its
// last byte comes after "." in byte order.
std::string defaultErrorReportText(const std::string& message);

// The message of an error as the user sees it ("" for an error that carries none).
std::string errorMessage(const std::exception_ptr& error);

}  // namespace zephra
