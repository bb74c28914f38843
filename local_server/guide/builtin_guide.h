// The built-in guide source: guide.xml (or guide.xml.gz) in the document root, beside
// channels.m3u. A background thread imports it when it appears or changes, forgets it when it
// goes, and drops programmes that ended long ago; pages never wait for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "local_server/guide/guide_store.h"

namespace zephra::guide {

class BuiltinGuide {
 public:
  using Clock = std::chrono::steady_clock;
  BuiltinGuide(GuideStore& store, std::string docRoot, Clock::duration checkInterval);
  ~BuiltinGuide();
  BuiltinGuide(const BuiltinGuide&) = delete;
  BuiltinGuide& operator=(const BuiltinGuide&) = delete;

  static constexpr const char* kFileName = "guide.xml";
  static constexpr const char* kGzipFileName = "guide.xml.gz";

 private:
  struct FileIdentity {
    std::string path;
    std::uint64_t inode = 0;
    std::int64_t size = -1, mtimeNs = 0;
    bool operator==(const FileIdentity& o) const {
      return path == o.path && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs;
    }
  };
  FileIdentity identify() const;
  void run();
  void check();

  GuideStore& m_store;
  const std::string m_docRoot;
  const Clock::duration m_checkInterval;
  bool m_checked = false;
  FileIdentity m_identity;
  Clock::time_point m_lastPrune;

  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stopping = false;
  std::thread m_thread;  // last: starts once everything above exists
};

}  // namespace zephra::guide
