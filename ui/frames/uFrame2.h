// TFrame2: the directory view, a frame whose web browser wbApp fills it.
#pragma once

#include <functional>
#include <memory>

#include <wx/panel.h>

#include "platform/web_view.h"

namespace zephra {

class TFrame2 : public wxPanel {
 public:
  using BrowserFactory =
      std::function<std::unique_ptr<WebView>(wxWindow* parent, int left, int top, int width, int height)>;

  TFrame2(wxWindow* parent, int left, int top, int width, int height, const BrowserFactory& createBrowser);
  ~TFrame2() override;

  std::unique_ptr<WebView> wbApp;
};

}  // namespace zephra
