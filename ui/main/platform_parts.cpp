#include "ui/main/platform_parts.h"

#include <wx/msgdlg.h>

#include "platform/app_dir.h"
#include "platform/mouse_filter.h"
#include "platform/process_start.h"
#include "platform/window_finder.h"
#include "player_logic/settings.h"

namespace zephra {

PlatformParts realPlatformParts(const MediaPlayerOptions& playerOptions) {
  PlatformParts services;
  services.findWindow = &topLevelWindowExists;
  services.startScript = &startScriptHidden;
  services.createWebView = &zephra::createWebView;
  services.createMediaPlayer = [playerOptions](wxWindow* parent) {
    return zephra::createMediaPlayer(parent, playerOptions);
  };
  services.installMouseFilter = [] { return MouseFilter::install(); };
  services.removeMouseFilter = [] { MouseFilter::remove(); };
  services.appDir = &executableDir;
  services.loadAccountCode = [] { return zephra::loadAccountCode(); };
  services.loadRemoteBase = [](const std::string& appDir) { return zephra::loadRemoteBase(appDir); };
  services.messageBox = [](wxWindow* parent, const std::string& text, const std::string& caption, long style) {
    wxMessageDialog dialog(parent, wxString::FromUTF8(text), wxString::FromUTF8(caption), style);
    return dialog.ShowModal();
  };
  return services;
}

}  // namespace zephra
