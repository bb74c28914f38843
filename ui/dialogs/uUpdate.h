// TfmUpdate: the Updates window, shown modally when an offered update is accepted. Downloads
// the update package into the local server's document tree, records the new content stamp and
// asks the local server to install the package. Created hidden at start.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <wx/dialog.h>

#include "platform/download.h"
#include "platform/web_view.h"

class wxButton;
class wxCloseEvent;
class wxGauge;
class wxStaticText;

namespace zephra {

class TfmUpdate : public wxDialog {
 public:
  explicit TfmUpdate(const WebViewFactory& createWebView, wxWindow* parent = nullptr);
  ~TfmUpdate() override;

  // Content stamp of the offered update.
  std::string NewStamp;

  wxStaticText* Label1 = nullptr;
  wxGauge* pgDownload = nullptr;
  wxButton* btUpdate = nullptr;
  wxButton* Button1 = nullptr;
  std::unique_ptr<WebView> wbInfo;

  // Given to every download object (tests shorten the stall limit).
  Download::Settings downloadSettings;

  void btUpdateClick();
  void Button1Click();
  void startDownload();
  void downloadProgress(Download* Sender, uint32_t Progress, uint32_t ProgressMax, uint32_t StatusCode,
                        const std::string& StatusText, bool& Cancel);
  void installUpdate();

  // True while a download runs (its nested event loop dispatches this window's events).
  bool downloading() const { return m_download != nullptr; }

 private:
  void onClose(wxCloseEvent& event);

  std::unique_ptr<Download> m_download;  // the download object, for the length of one download
};

// The application's single instance, created at start (null before).
extern TfmUpdate* fmUpdate;

}  // namespace zephra
