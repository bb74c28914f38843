// A provider account's import and pages against a playlist of the same channels, in the same run:
// a fake provider on 127.0.0.1 serves N channels both through the player API and as the API's
// playlist (get.php); a local server with the account and one with the playlist each start on a
// fresh data folder and read their source, then answer the directory's first page and a search.
// Rounds alternate, medians are printed.
//
//   zephra_provider_bench [CHANNELS] [ROUNDS]      (default 20000 and 5)
// Last line: account_import_s m3u_import_s ratio account_page_ms m3u_page_ms ratio
//            account_search_ms m3u_search_ms ratio
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "local_server/local_server.h"
#include "local_server/sources/provider/provider_accounts.h"
#include "tests/support/fake_provider.h"
#include "tests/support/page_cookie.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace zephra;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A local server on a fresh data folder with one source, added before it starts.
class Server {
 public:
  Server(const std::function<void(SourceStore&, ProviderAccounts&)>& addSource) {
    const auto root = m_dir.path();
    std::filesystem::create_directories(root / "www");
    std::filesystem::create_directories(root / "data");
    std::ofstream(root / "www" / "channels.m3u") << "#EXTM3U\n";
    {
      SourceStore store((root / "data" / LocalServer::kSourcesDatabaseName).string());
      ProviderAccounts accounts((root / "data" / LocalServer::kAccountsFileName).string());
      addSource(store, accounts);
    }
    LocalServerConfig config;
    config.docRoot = (root / "www").string();
    config.dataDir = (root / "data").string();
    const auto started = Clock::now();
    m_server = std::make_unique<LocalServer>(config);
    if (!m_server->sourceRefresher().waitIdle(std::chrono::minutes(5)))
      throw std::runtime_error("the source was not read within 5 minutes");
    m_importSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (m_server->sourceRefresher().channels()->entries.empty())
      throw std::runtime_error("the source brought no channels");
    m_port = m_server->bind("127.0.0.1", 0);
    m_thread = std::thread([this] { m_server->run(); });
    while (!m_server->isRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ~Server() {
    m_server->stop();
    m_thread.join();
  }
  double importSeconds() const { return m_importSeconds; }
  // Milliseconds for one page, its body checked to hold `expected`.
  double pageMs(const std::string& target, const std::string& expected) {
    httplib::Client client("127.0.0.1", m_port);
    client.set_default_headers({{"Cookie", test::pageCookie(m_dir.path() / "data")}});
    const auto started = Clock::now();
    auto result = client.Get(target.c_str());
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    if (!result || result->body.find(expected) == std::string::npos)
      throw std::runtime_error("unexpected answer for " + target);
    return ms;
  }

 private:
  test::TempDir m_dir;
  std::unique_ptr<LocalServer> m_server;
  std::thread m_thread;
  int m_port = 0;
  double m_importSeconds = 0;
};

}  // namespace

int main(int argc, char** argv) try {
  const std::size_t channels = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  test::FakeProvider provider(channels);
  auto account = [&](SourceStore& store, ProviderAccounts& accounts) {
    const auto id = store.add(SourceKind::Account, "Account",
                              accountLocation(provider.server(), test::FakeProvider::kUser));
    accounts.add(*id, test::FakeProvider::kPassword, AccountInfo{}, 0);
  };
  auto playlist = [&](SourceStore& store, ProviderAccounts&) {
    store.add(SourceKind::Playlist, "Playlist",
              provider.server() + "/get.php?username=viewer&password=pa%20ss%26word&type=m3u_plus");
  };
  const std::string last = "Channel " + std::to_string(channels - 1);
  const std::string search = "/query.php?code=&fav=0&q=" + std::to_string(channels - 1);
  std::vector<double> importA, importM, pageA, pageM, searchA, searchM;
  for (int r = 0; r < rounds; ++r) {
    Server a(account), m(playlist);
    importA.push_back(a.importSeconds());
    importM.push_back(m.importSeconds());
    for (int i = 0; i < 5; ++i) {
      pageA.push_back(a.pageMs("/query.php?code=&fav=0", "Channel"));
      pageM.push_back(m.pageMs("/query.php?code=&fav=0", "Channel"));
      searchA.push_back(a.pageMs(search, last));
      searchM.push_back(m.pageMs(search, last));
    }
  }
  const double ia = median(importA), im = median(importM), pa = median(pageA), pm = median(pageM),
               sa = median(searchA), sm = median(searchM);
  std::printf("%zu channels, %d rounds (medians)\n", channels, rounds);
  std::printf("import: account %.3f s, same channels as a playlist %.3f s, ratio %.2f\n", ia, im, ia / im);
  std::printf("query.php first page: account %.1f ms, playlist %.1f ms, ratio %.2f\n", pa, pm, pa / pm);
  std::printf("query.php search: account %.1f ms, playlist %.1f ms, ratio %.2f\n", sa, sm, sa / sm);
  std::printf("%.3f %.3f %.2f %.1f %.1f %.2f %.1f %.1f %.2f\n", ia, im, ia / im, pa, pm, pa / pm, sa,
              sm, sa / sm);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "provider bench: %s\n", e.what());
  return 1;
}
