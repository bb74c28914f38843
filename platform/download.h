// Downloading one resource into a file: the update package. Per-OS implementation beside this
// header (download_curl.cpp).
//
// run() returns only when the transfer has ended, as a blocking download would, yet the
// program's windows keep working meanwhile: the transfer runs on a worker thread that touches
// nothing but the connection and the file, while the calling (UI) thread waits in a nested
// event loop, dispatching window events and delivering every progress report itself. So no
// window is ever touched from another thread, and the handler runs where it may use them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace zephra {

// A failed download: the message names the address and says what went wrong.
class DownloadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The stage a progress report belongs to (its StatusCode).
enum class DownloadStage : uint32_t {
  Connecting = 1,  // before any data: 0 of 0
  Receiving = 2,   // data arriving; the total is 0 while the server has not given one
  Finished = 3,    // the last report: the whole file is in place, Progress == ProgressMax
};

class Download {
 public:
  // Called on the thread that runs the download, once per report. Setting Cancel stops the
  // transfer, which then fails.
  using ProgressHandler =
      std::function<void(Download* Sender, uint32_t Progress, uint32_t ProgressMax, uint32_t StatusCode,
                         const std::string& StatusText, bool& Cancel)>;

  struct Settings {
    // A transfer that receives nothing for this long has stalled and fails.
    std::chrono::seconds stallLimit{30};
    // Redirects followed before the download fails.
    long maxRedirects = 5;
  };

  std::string source;  // http:// or https:// address
  std::string target;  // file to replace; its folder is created when absent
  ProgressHandler onProgress;
  Settings settings;

  // Downloads `source` into `target` and returns when the transfer has ended. The data goes to a
  // temporary file beside `target`, which replaces `target` only once the whole resource has
  // arrived and reached the disk: a failed download leaves `target` as it was. HTTP error
  // answers (404 included), refused or stalled connections, transfers cut short and endless
  // redirects throw DownloadError. An error thrown by the handler ends the transfer and goes
  // on to the caller.
  void run();
};

}  // namespace zephra
