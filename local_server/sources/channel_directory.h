// The channel list the pages show: channels.m3u first, then the channels of every enabled source,
// merged into one snapshot that is rebuilt only when one of its parts changed.
#pragma once

#include <memory>
#include <mutex>

#include "local_server/playlist_store.h"
#include "local_server/sources/source_refresher.h"

namespace zephra {

class ChannelDirectory {
 public:
  ChannelDirectory(PlaylistStore& builtin, const SourceRefresher& sources);

  // With no source channels, the built-in snapshot itself. A channel already listed by an
  // earlier source (same address and name, hence the same id) is shown once, where it came first.
  std::shared_ptr<const PlaylistSnapshot> snapshot();
  // As snapshot(), but null while channels.m3u's first load is still running.
  std::shared_ptr<const PlaylistSnapshot> snapshotIfLoaded();
  void invalidate() { m_builtin.invalidate(); }

 private:
  PlaylistStore& m_builtin;
  const SourceRefresher& m_sources;

  std::mutex m_mutex;
  std::shared_ptr<const PlaylistSnapshot> m_builtinSeen;
  std::shared_ptr<const SourceChannels> m_sourcesSeen;
  std::shared_ptr<const PlaylistSnapshot> m_merged;
  std::mutex m_mergeMutex;  // one merge at a time; the others keep the previous list
};

// The merge itself: exposed for tests.
std::shared_ptr<const PlaylistSnapshot> mergeChannels(const PlaylistSnapshot& builtin,
                                                      const SourceChannels& sources);

}  // namespace zephra
