#include "local_server/guide/builtin_guide.h"

#include <cstdio>
#include <ctime>

#include "local_server/guide/guide_import.h"
#include "platform/file_status.h"

namespace zephra::guide {

namespace {
constexpr auto kPruneInterval = std::chrono::minutes(30);
}  // namespace

BuiltinGuide::BuiltinGuide(GuideStore& store, std::string docRoot, Clock::duration checkInterval)
    : m_store(store),
      m_docRoot(std::move(docRoot)),
      m_checkInterval(checkInterval),
      m_lastPrune(Clock::now()),
      m_thread([this] { run(); }) {}

BuiltinGuide::~BuiltinGuide() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

BuiltinGuide::FileIdentity BuiltinGuide::identify() const {
  for (const char* name : {kFileName, kGzipFileName}) {
    FileIdentity id;
    id.path = m_docRoot + "/" + name;
    const auto status = fileStatus(id.path);
    if (!status) continue;
    id.inode = status->identity.inode;
    id.size = static_cast<std::int64_t>(status->size);
    id.mtimeNs = status->modifiedNs;
    return id;
  }
  return FileIdentity{};
}

void BuiltinGuide::check() {
  const FileIdentity identity = identify();
  if (m_checked && identity == m_identity) return;
  // Remembered before reading: a file still being written is read again once it changes.
  m_identity = identity;
  m_checked = true;
  try {
    if (identity.path.empty()) {
      removeGuideSource(m_store, kBuiltinGuideSource);
      return;
    }
    const ImportResult result = importGuideFile(m_store, kBuiltinGuideSource, identity.path);
    std::fprintf(stderr, "zephra-server: guide %s: %zu channels, %zu programmes\n",
                 identity.path.c_str(), result.channels, result.programmes);
  } catch (const std::exception& e) {
    // The previous guide stays; the file is read again when it changes.
    std::fprintf(stderr, "zephra-server: guide not read: %s\n", e.what());
  }
}

void BuiltinGuide::run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_stopping) {
    lock.unlock();
    check();
    if (Clock::now() - m_lastPrune >= kPruneInterval) {
      m_lastPrune = Clock::now();
      try {
        m_store.prune(static_cast<std::int64_t>(std::time(nullptr)));
      } catch (const std::exception& e) {
        std::fprintf(stderr, "zephra-server: old programmes not pruned: %s\n", e.what());
      }
    }
    lock.lock();
    m_wake.wait_for(lock, m_checkInterval, [this] { return m_stopping; });
  }
}

}  // namespace zephra::guide
