// Shared by the service tests: the service running in-process over real HTTP.
#pragma once

#include <chrono>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "service/service_http.h"
#include "tests/server/http/server_test_support.h"

namespace zephra::service {

using test::TempDir;
using test::writeFile;

// The real pages and HTTP wiring on an ephemeral 127.0.0.1 port, with a private data folder.
class Service : public ::testing::Test {
 protected:
  Service()
      : publisher((dir.path() / "data").string()),
        reports((dir.path() / "reports.sqlite3").string()),
        pages(publisher, reports),
        http(pages) {
    port = http.bind("127.0.0.1", 0);
    thread = std::thread([this] { http.run(); });
    for (int i = 0; i < 400 && !http.isRunning(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~Service() override {
    http.stop();
    thread.join();
  }
  httplib::Result get(const std::string& target) {
    httplib::Client client("127.0.0.1", port);
    client.set_url_encode(false);
    client.set_read_timeout(10);
    return client.Get(target.c_str());
  }
  std::string publish(const std::string& playlist) {
    writeFile(dir.path() / "content" / "channels.m3u", playlist);
    return publisher.publish((dir.path() / "content").string()).release.stamp;
  }

  TempDir dir;
  Publisher publisher;
  ReportStore reports;
  ServicePages pages;
  ServiceHttp http;
  std::thread thread;
  int port = 0;
};

}  // namespace zephra::service
