// The platform pieces the main window uses, gathered so that tests can hand in doubles.
// realPlatformParts() gives the real ones; it lives in its own file so that test programs,
// which never call it, do not have to link the real browser and player.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/media_player.h"
#include "platform/web_view.h"

class wxWindow;

namespace zephra {

struct PlatformParts {
  // True when a top-level window with exactly this title exists (the local server's).
  std::function<bool(const std::string& title)> findWindow;
  // Starts `script` hidden and detached with `workingDir` as its current folder.
  std::function<void(const std::string& script, const std::string& workingDir)> startScript;
  std::function<std::unique_ptr<WebView>(wxWindow* parent, int left, int top, int width, int height)>
      createWebView;
  std::function<std::unique_ptr<MediaPlayer>(wxWindow* parent)> createMediaPlayer;
  // Keeps the right mouse button away from every web view; false when it could not be installed.
  std::function<bool()> installMouseFilter;
  std::function<void()> removeMouseFilter;
  // Folder of the running executable, with a trailing "/".
  std::function<std::string()> appDir;
  std::function<std::string()> loadAccountCode;
  std::function<std::string(const std::string& appDir)> loadRemoteBase;
  // How long start-up waits for a freshly started local server.
  int serverWaitMs = 3000;
  // Shows a modal message box; returns wxID_YES, wxID_NO or wxID_OK.
  std::function<int(wxWindow* parent, const std::string& text, const std::string& caption, long style)>
      messageBox;
};

PlatformParts realPlatformParts(const MediaPlayerOptions& playerOptions = {});

}  // namespace zephra
