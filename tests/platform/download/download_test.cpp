// The real downloader against real loopback servers: a package, error answers, refused, stalled
// and cut-off connections, redirects, and the event loop kept running during the transfer.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/app.h>

#include "platform/download.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace zephra::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Report {
  uint32_t progress;
  uint32_t progressMax;
  uint32_t stage;
  std::thread::id thread;
};

std::string package(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + i / 977) & 0xff);
  return data;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A gate the server waits at until the test opens it (or a generous bound passes).
class Gate {
 public:
  void open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
    m_wake.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, 20s, [this] { return m_open; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_open = false;
};

class DownloadTest : public ::testing::Test {
 protected:
  static constexpr size_t kSize = 300000;

  void SetUp() override {
    auto& http = m_server.http();
    http.Get("/pkg", [this](const httplib::Request&, httplib::Response& res) {
      // In pieces, so that the transfer reports progress on the way.
      res.set_content_provider(m_package.size(), "application/zip",
                               [this](size_t offset, size_t length, httplib::DataSink& sink) {
                                 sink.write(m_package.data() + offset, std::min<size_t>(length, 32768));
                                 return true;
                               });
    });
    http.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("<html><body>Not Found</body></html>", "text/html");
    });
    // Announces the whole package, sends half, then waits at the gate and hangs up.
    const auto halfThenGate = [this](bool hangUp) {
      return [this, hangUp](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(m_package.size(), "application/zip",
                                 [this, hangUp](size_t offset, size_t, httplib::DataSink& sink) {
                                   if (offset == 0) {
                                     sink.write(m_package.data(), m_package.size() / 2);
                                     return true;
                                   }
                                   if (hangUp) return false;
                                   m_gate.wait();
                                   sink.write(m_package.data() + offset, m_package.size() - offset);
                                   return true;
                                 });
      };
    };
    http.Get("/cut", halfThenGate(true));
    http.Get("/stall", halfThenGate(false));
    http.Get("/gated", halfThenGate(false));
    http.Get("/loop", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop"); });
    http.Get("/hop1", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/hop2"); });
    http.Get("/hop2", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/pkg"); });
    m_server.start();
  }

  void TearDown() override {
    m_gate.open();
    m_server.stop();
  }

  Download download(const std::string& path, const fs::path& target) {
    Download d;
    d.source = m_server.base() + path;
    d.target = target.string();
    d.onProgress = [this](Download*, uint32_t progress, uint32_t max, uint32_t stage, const std::string&, bool&) {
      reports.push_back({progress, max, stage, std::this_thread::get_id()});
    };
    return d;
  }

  std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
  }

  TempDir m_dir;
  const fs::path m_root = m_dir.path();
  std::string m_package = package(kSize);
  LoopbackServer m_server;
  Gate m_gate;
  std::vector<Report> reports;
  const std::thread::id mainThread = std::this_thread::get_id();
};

TEST_F(DownloadTest, WritesThePackageIntoANewFolderAndReportsOnTheCallingThread) {
  const fs::path target = m_root / "www" / "update" / "update.zip";
  Download d = download("pkg", target);
  d.run();

  EXPECT_EQ(readFile(target), m_package);
  EXPECT_EQ(filesIn(target.parent_path()), std::vector<std::string>{"update.zip"}) << "no temporary file left";
  ASSERT_GE(reports.size(), 3u);
  EXPECT_EQ(reports.front().stage, static_cast<uint32_t>(DownloadStage::Connecting));
  EXPECT_EQ(reports.front().progress, 0u);
  const Report& last = reports.back();
  EXPECT_EQ(last.stage, static_cast<uint32_t>(DownloadStage::Finished));
  EXPECT_EQ(last.progress, kSize);
  EXPECT_EQ(last.progressMax, kSize);
  int finished = 0;
  for (size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].thread, std::this_thread::get_id());
    finished += reports[i].stage == static_cast<uint32_t>(DownloadStage::Finished);
    if (i > 0) {
      EXPECT_GE(reports[i].progress, reports[i - 1].progress);
    }
  }
  EXPECT_EQ(finished, 1);
}

TEST_F(DownloadTest, FollowsAFewRedirects) {
  const fs::path target = m_root / "update.zip";
  Download d = download("hop1", target);
  d.run();
  EXPECT_EQ(readFile(target), m_package);
}

struct FailureCase {
  const char* name;
  std::string path;  // "" for a port where nobody listens
  std::string reason;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class DownloadFailureTest : public DownloadTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DownloadFailureTest, FailsWithAClearErrorAndLeavesThePreviousFileAlone) {
  const fs::path target = m_root / "update" / "update.zip";
  fs::create_directories(target.parent_path());
  std::ofstream(target, std::ios::binary) << "previous package";

  Download d = download(GetParam().path, target);
  if (GetParam().path.empty()) d.source = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/update.zip";
  d.settings.stallLimit = 1s;
  try {
    d.run();
    FAIL() << "the download succeeded";
  } catch (const DownloadError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find(d.source), std::string::npos) << message;
    EXPECT_NE(message.find(GetParam().reason), std::string::npos) << message;
  }
  EXPECT_EQ(readFile(target), "previous package");
  EXPECT_EQ(filesIn(target.parent_path()), std::vector<std::string>{"update.zip"}) << "no temporary file left";
  for (const Report& r : reports) EXPECT_NE(r.stage, static_cast<uint32_t>(DownloadStage::Finished));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DownloadFailureTest,
    ::testing::Values(FailureCase{"NotFound", "missing", "404"},
                      FailureCase{"Refused", "", "onnect"},
                      FailureCase{"CutShort", "cut", "transfer closed with 150000 bytes remaining"},
                      FailureCase{"Stalled", "stall", "no data arrived for 1 s"},
                      FailureCase{"RedirectLoop", "loop", "redirect"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, EventsAndProgressReachTheUiThreadWhileTheTransferRuns) {
  // The server holds back the second half until an event posted to the UI thread has run and a
  // report of part of the package has arrived: the download can only end if both happen while
  // it is under way.
  const fs::path target = m_root / "update.zip";
  Download d = download("gated", target);
  d.settings.stallLimit = 15s;
  bool eventRan = false;
  bool partway = false;
  const auto openWhenBoth = [&] {
    if (eventRan && partway) m_gate.open();
  };
  d.onProgress = [&](Download*, uint32_t progress, uint32_t, uint32_t, const std::string&, bool&) {
    EXPECT_EQ(std::this_thread::get_id(), mainThread);
    if (progress > 0 && progress < kSize) partway = true;
    openWhenBoth();
  };
  wxTheApp->CallAfter([&] {
    eventRan = true;
    openWhenBoth();
  });
  d.run();
  EXPECT_TRUE(eventRan && partway);
  EXPECT_EQ(readFile(target), m_package);
}

TEST_F(DownloadTest, AHandlerErrorOrCancelStopsTheTransferAndKeepsTheOldFile) {
  for (bool viaCancel : {false, true}) {
    SCOPED_TRACE(viaCancel ? "cancel" : "error");
    const fs::path target = m_root / "update.zip";
    std::ofstream(target, std::ios::binary) << "previous package";
    Download d = download("stall", target);  // would hang if the stop did not reach the worker
    d.onProgress = [viaCancel](Download*, uint32_t progress, uint32_t, uint32_t, const std::string&, bool& cancel) {
      if (progress == 0) return;
      if (viaCancel) {
        cancel = true;
        return;
      }
      throw std::runtime_error("handler failed");
    };
    if (viaCancel) {
      EXPECT_THROW(d.run(), DownloadError);
    } else {
      EXPECT_THROW(d.run(), std::runtime_error);
    }
    EXPECT_EQ(readFile(target), "previous package");
    EXPECT_EQ(filesIn(m_root), std::vector<std::string>{"update.zip"});
  }
}

TEST_F(DownloadTest, ATargetFolderThatCannotBeMadeFails) {
  std::ofstream(m_root / "plain-file") << "x";
  Download d = download("pkg", m_root / "plain-file" / "update" / "update.zip");
  EXPECT_THROW(d.run(), DownloadError);
  EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace zephra::test
