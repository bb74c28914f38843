// Shared by the service tests: the service running in-process over real HTTP.
#pragma once

#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "common/http/http_server.h"
#include "remote_service/service_pages.h"
#include "tests/local_server/server_test_support.h"

namespace zephra::service {

using test::TempDir;
using test::writeFile;

// The real pages on zephra::http on an ephemeral 127.0.0.1 port, with a private data folder.
class Service : public ::testing::Test {
 protected:
  Service()
      : publisher((dir.path() / "data").string()),
        reports((dir.path() / "reports.sqlite3").string()),
        pages(publisher, reports),
        http([this](const zephra::http::Request& req, zephra::http::Response& res) {
          pages.answer(req, res);
        }) {
    // Connections wait in the listen queue until run() takes them: no need to wait for it.
    port = http.bind("127.0.0.1", 0);
    thread = std::thread([this] { http.run(); });
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
  zephra::http::Server http;
  std::thread thread;
  int port = 0;
};

}  // namespace zephra::service
