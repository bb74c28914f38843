#include "local_server/sources/channel_directory.h"


namespace zephra {

std::shared_ptr<const PlaylistSnapshot> mergeChannels(const PlaylistSnapshot& builtin,
                                                      const SourceChannels& sources) {
  std::vector<ChannelPart> parts = builtin.parts();
  std::size_t total = builtin.size();
  for (const auto& entry : sources.entries) {
    parts.push_back(ChannelPart{entry.playlist, entry.name});
    total += entry.playlist->channels.size();
  }
  // A missing channels.m3u is worth a notice only when there is nothing else to show.
  std::string problem = total == 0 ? builtin.problem() : std::string();
  return std::make_shared<const PlaylistSnapshot>(std::move(parts), std::move(problem));
}

std::shared_ptr<const PlaylistSnapshot> ChannelDirectory::snapshotIfLoaded() {
  if (!m_builtin.snapshotIfLoaded()) return nullptr;
  return snapshot();
}

ChannelDirectory::ChannelDirectory(PlaylistStore& builtin, const SourceRefresher& sources)
    : m_builtin(builtin), m_sources(sources) {}

std::shared_ptr<const PlaylistSnapshot> ChannelDirectory::snapshot() {
  auto builtin = m_builtin.snapshot();
  auto sources = m_sources.channels();
  if (sources->entries.empty()) return builtin;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_merged && builtin == m_builtinSeen && sources == m_sourcesSeen) return m_merged;
  }
  std::unique_lock<std::mutex> merging(m_mergeMutex, std::try_to_lock);
  if (!merging.owns_lock()) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_merged) return m_merged;  // another request is merging: its predecessor serves
  }
  if (!merging.owns_lock()) merging.lock();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_merged && builtin == m_builtinSeen && sources == m_sourcesSeen) return m_merged;
  }
  auto merged = mergeChannels(*builtin, *sources);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_builtinSeen = std::move(builtin);
  m_sourcesSeen = std::move(sources);
  m_merged = merged;
  return merged;
}

}  // namespace zephra
