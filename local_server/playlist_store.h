// The channel list the pages are built from: parsed once, shared read-only by every request, and
// parsed again when the playlist file changes (an update package or the user replaced it).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "local_server/playlist/m3u_parser.h"

namespace zephra {

struct ChannelGroup {
  std::string name;
  std::size_t count = 0;
};

// One parsed state of the playlist file. Immutable once built, so requests read it without locks.
class PlaylistSnapshot {
 public:
  PlaylistSnapshot() = default;
  explicit PlaylistSnapshot(Playlist playlist, std::string problem = {});

  const std::vector<Channel>& channels() const { return m_playlist.channels; }
  const std::vector<std::string>& warnings() const { return m_playlist.warnings; }
  std::size_t leftOutCount() const { return m_playlist.leftOutCount; }
  std::size_t leftOutFirstLine() const { return m_playlist.leftOutFirstLine; }
  // Why the file could not be read; empty when it was.
  const std::string& problem() const { return m_problem; }
  // Groups in order of first appearance, with their channel counts.
  const std::vector<ChannelGroup>& groups() const { return m_groups; }

  const Channel* findById(const std::string& id) const;
  // The first channel whose address, or whose play value (address and headers), is exactly `url`.
  const Channel* findByUrl(const std::string& url) const;
  // Channel names folded to ASCII lower case, index-aligned with channels(): search input.
  const std::vector<std::string>& foldedNames() const { return m_foldedNames; }

 private:
  Playlist m_playlist;
  std::string m_problem;
  std::vector<ChannelGroup> m_groups;
  std::vector<std::string> m_foldedNames;
  std::unordered_map<std::string, std::size_t> m_byId;
  std::unordered_map<std::string, std::size_t> m_byUrl;
};

std::string foldAsciiCase(std::string text);

class PlaylistStore {
 public:
  using Clock = std::chrono::steady_clock;

  // Nothing is read until startLoading() or the first snapshot() call.
  explicit PlaylistStore(std::string path,
                         Clock::duration checkInterval = std::chrono::seconds(1));
  // Waits for a first load still running.
  ~PlaylistStore();
  PlaylistStore(const PlaylistStore&) = delete;
  PlaylistStore& operator=(const PlaylistStore&) = delete;

  // Reads the list on a thread of its own and returns at once, so the server can answer while
  // a long list is read. Once only; later calls do nothing.
  void startLoading();

  // The current list. Looks at the file's identity (inode, size, modification time) at most once
  // per check interval (on every call while the file is missing or unreadable) and parses it
  // again when that changed. A parse runs on the calling thread while other requests keep
  // getting the previous snapshot.
  // Waits for the first load when it is still running.
  std::shared_ptr<const PlaylistSnapshot> snapshot();
  // As snapshot(), but null instead of waiting while the first load is still running.
  std::shared_ptr<const PlaylistSnapshot> snapshotIfLoaded();

  // Makes the next snapshot() look at the file at once (after an update was installed).
  void invalidate();

  const std::string& path() const { return m_path; }

 private:
  struct FileIdentity {
    bool exists = false;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileIdentity& o) const {
      return exists == o.exists && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs;
    }
  };
  FileIdentity identify() const;

  const std::string m_path;
  const Clock::duration m_checkInterval;

  std::mutex m_mutex;  // guards the fields below
  std::shared_ptr<const PlaylistSnapshot> m_current;
  FileIdentity m_identity;
  Clock::time_point m_lastCheck;
  bool m_checkNow = true;
  bool m_loading = false;  // the first load runs on m_loader

  std::mutex m_reloadMutex;  // one parse at a time
  std::thread m_loader;      // the first load, when startLoading() asked for it
};

}  // namespace zephra
