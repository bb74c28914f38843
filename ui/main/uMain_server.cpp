// The local server gone away while the player runs: started again once, as at start-up.
#include "common/zephra_constants.h"
#include "platform/instance_lock.h"
#include "player_logic/local_server_secret.h"
#include "ui/main/uMain.h"

namespace zephra {

namespace {

// A server that dies at once must not be started again and again.
constexpr std::chrono::seconds kRestartInterval{10};

}  // namespace

void TfrmMain::wbAppConnectionFailed(const std::string& url) {
  if (LocalBase.empty() || url.rfind(LocalBase, 0) != 0) return;  // another site: the browser's page
  if (tmrServerRestart.IsRunning()) return;                       // started already, still waiting
  // Its window is there: it runs and merely did not answer this once; starting another would
  // only find it and leave.
  if (m_platform.findWindow(kLocalServerWindowTitle)) return;
  const auto now = std::chrono::steady_clock::now();
  if (m_lastServerRestart && now - *m_lastServerRestart < kRestartInterval) {
    setStatusText("The channel list cannot be reached: the local server does not answer.");
    return;
  }
  m_lastServerRestart = now;
  // The page again without any link command in its address, so nothing is replayed.
  m_reloadAfterRestart = url.substr(0, url.find('#'));
  try {
    m_platform.startScript(AppDir + "lib/serv.sh", AppDir + "lib/");
  } catch (...) {
    // As at start-up: a server that does not come up shows as the page that cannot be reached.
  }
  setStatusText("Starting the local server again...");
  tmrServerRestart.StartOnce(m_platform.serverWaitMs);
}

void TfrmMain::giveLocalServerCookie() {
  const std::string data = AppDir + "lib/Program/data";
  const std::string secret =
      readLocalServerSecret({data + "/" + kLocalServerSecretFile, secretFallbackPath(data)});
  if (secret.empty()) return;
  m_playReports.setSecret(secret);
  wbApp().setLocalCookie(kLocalServerCookieName, secret, kLocalServerHost);
  wmApp().setServerCookie(LocalBase, std::string(kLocalServerCookieName) + "=" + secret);
}

void TfrmMain::tmrServerRestartTimer() {
  if (statusText() == "Starting the local server again...") setStatusText("");
  // A server started afresh may have made a new secret (its data folder was lost).
  try {
    giveLocalServerCookie();
  } catch (...) {
  }
  wbApp().navigate(m_reloadAfterRestart);
}

}  // namespace zephra
