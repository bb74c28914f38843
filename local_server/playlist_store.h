// The channel list the pages are built from: parsed once, shared read-only by every request, and
// parsed again when the playlist file changes (an update package or the user replaced it).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "local_server/playlist/m3u_parser.h"

namespace zephra {

struct ChannelGroup {
  std::string name;
  std::size_t count = 0;
};

// One playlist's channels in the directory, under its source's name ("" for channels.m3u).
struct ChannelPart {
  std::shared_ptr<const Playlist> playlist;
  std::string source;
};

// One state of the channel list: channels.m3u alone, or with the sources' lists after it. The
// lists are shared, never copied, so a merge costs a few bytes per repeated channel at most.
// Immutable once built, so requests read it without locks.
class PlaylistSnapshot {
 public:
  PlaylistSnapshot() = default;
  explicit PlaylistSnapshot(Playlist playlist, std::string problem = {});
  // The parts in order; a channel an earlier part lists already (same id) is shown once, there.
  // Notices about left-out entries are those of the first part.
  PlaylistSnapshot(std::vector<ChannelPart> parts, std::string problem);

  std::size_t size() const { return m_size; }
  // The i-th channel shown, with its source's name, built on demand.
  Channel channel(std::size_t i) const;
  std::string_view name(std::size_t i) const { return field(i, ChannelList::Name); }
  std::string_view group(std::size_t i) const { return field(i, ChannelList::Group); }
  // The i-th channel's id as a number (its 16 hex digits).
  std::uint64_t idHash(std::size_t i) const;
  // Whether the i-th channel names catch-up at all (cheap; the channel is not built).
  bool mayHaveCatchup(std::size_t i) const;

  // For range-for and indexing; each element is built on demand.
  class Channels {
   public:
    explicit Channels(const PlaylistSnapshot& owner) : m_owner(owner) {}
    std::size_t size() const { return m_owner.size(); }
    bool empty() const { return m_owner.size() == 0; }
    Channel operator[](std::size_t i) const { return m_owner.channel(i); }
    class const_iterator {
     public:
      const_iterator(const PlaylistSnapshot& owner, std::size_t i) : m_owner(&owner), m_i(i) {}
      Channel operator*() const { return m_owner->channel(m_i); }
      const_iterator& operator++() { ++m_i; return *this; }
      bool operator!=(const const_iterator& o) const { return m_i != o.m_i; }

     private:
      const PlaylistSnapshot* m_owner;
      std::size_t m_i;
    };
    const_iterator begin() const { return {m_owner, 0}; }
    const_iterator end() const { return {m_owner, m_owner.size()}; }

   private:
    const PlaylistSnapshot& m_owner;
  };
  Channels channels() const { return Channels(*this); }

  // Its parts, for building a snapshot with more parts after them.
  std::vector<ChannelPart> parts() const;

  const std::vector<std::string>& warnings() const;
  std::size_t leftOutCount() const;
  std::size_t leftOutFirstLine() const;
  // Why the file could not be read; empty when it was.
  const std::string& problem() const { return m_problem; }
  // Groups in order of first appearance, with their channel counts.
  const std::vector<ChannelGroup>& groups() const { return m_groups; }

  std::optional<Channel> findById(const std::string& id) const;
  // The first channel whose address, or whose play value (address and headers), is exactly `url`.
  std::optional<Channel> findByUrl(const std::string& url) const;

 private:
  struct Part {
    ChannelPart shared;
    std::size_t first = 0;             // position of its first shown channel in the whole list
    std::size_t count = 0;             // channels shown
    std::vector<std::uint32_t> shown;  // which of its channels are shown; empty: all of them
  };
  void build();
  // The part and the position in its list of the i-th channel shown.
  std::pair<const Part*, std::size_t> locate(std::size_t i) const;
  std::string_view field(std::size_t i, ChannelList::Field f) const;
  Channel fromPart(const Part& part, std::size_t local) const;

  std::vector<Part> m_parts;
  std::size_t m_size = 0;
  std::string m_problem;
  std::vector<ChannelGroup> m_groups;
};

// Whether `text`, folded to ASCII lower case, holds `foldedNeedle` (already folded).
bool containsFolded(std::string_view text, std::string_view foldedNeedle);

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
