#include "local_server/playlist_store.h"

#include <sys/stat.h>

#include <utility>

namespace zephra {

std::string foldAsciiCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

PlaylistSnapshot::PlaylistSnapshot(Playlist playlist, std::string problem)
    : m_playlist(std::move(playlist)), m_problem(std::move(problem)) {
  const auto& channels = m_playlist.channels;
  m_foldedNames.reserve(channels.size());
  m_byId.reserve(channels.size());
  m_byUrl.reserve(channels.size());
  std::unordered_map<std::string, std::size_t> groupIndex;
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const Channel& channel = channels[i];
    m_foldedNames.push_back(foldAsciiCase(channel.name));
    m_byId.emplace(channel.id, i);
    // emplace keeps the first channel of a repeated address. The player asks by what it was
    // given to play (the address with its headers), an older caller by the bare address.
    if (!channel.headers.empty()) m_byUrl.emplace(playValue(channel), i);
    m_byUrl.emplace(channel.url, i);
    if (!channel.group.empty()) {
      auto [it, inserted] = groupIndex.emplace(channel.group, m_groups.size());
      if (inserted) m_groups.push_back(ChannelGroup{channel.group, 0});
      ++m_groups[it->second].count;
    }
  }
}

const Channel* PlaylistSnapshot::findById(const std::string& id) const {
  auto it = m_byId.find(id);
  return it == m_byId.end() ? nullptr : &m_playlist.channels[it->second];
}

const Channel* PlaylistSnapshot::findByUrl(const std::string& url) const {
  auto it = m_byUrl.find(url);
  return it == m_byUrl.end() ? nullptr : &m_playlist.channels[it->second];
}

PlaylistStore::PlaylistStore(std::string path, Clock::duration checkInterval)
    : m_path(std::move(path)), m_checkInterval(checkInterval) {}

PlaylistStore::~PlaylistStore() {
  if (m_loader.joinable()) m_loader.join();
}

void PlaylistStore::startLoading() {
  if (m_loader.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_current) return;
    m_loading = true;
  }
  m_loader = std::thread([this] {
    try {
      snapshot();
    } catch (...) {
      // Out of memory at worst: the next request tries again on its own thread.
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_loading = false;
  });
}

std::shared_ptr<const PlaylistSnapshot> PlaylistStore::snapshotIfLoaded() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_current && m_loading) return nullptr;
  }
  return snapshot();
}

PlaylistStore::FileIdentity PlaylistStore::identify() const {
  FileIdentity id;
  struct stat st {};
  if (::stat(m_path.c_str(), &st) != 0) return id;
  id.exists = true;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return id;
}

void PlaylistStore::invalidate() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_checkNow = true;
}

std::shared_ptr<const PlaylistSnapshot> PlaylistStore::snapshot() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto now = Clock::now();
    // Without a readable list there is nothing to keep: look for the file on every request, so
    // a list put in place shows up at once.
    if (m_current && m_current->problem().empty() && !m_checkNow &&
        now - m_lastCheck < m_checkInterval)
      return m_current;
  }

  // Only one thread parses; the others wait for it on a first load (there is nothing to show
  // yet) and otherwise go on with the snapshot they have.
  std::unique_lock<std::mutex> reload(m_reloadMutex, std::defer_lock);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_current) {
      if (!reload.try_lock()) return m_current;
    }
  }
  if (!reload.owns_lock()) reload.lock();

  FileIdentity identity = identify();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastCheck = Clock::now();
    m_checkNow = false;
    if (m_current && identity == m_identity) return m_current;
  }

  std::shared_ptr<const PlaylistSnapshot> fresh;
  if (!identity.exists) {
    fresh = std::make_shared<PlaylistSnapshot>(Playlist{}, "no channel list at " + m_path);
  } else {
    try {
      fresh = std::make_shared<PlaylistSnapshot>(loadM3uFile(m_path));
    } catch (const PlaylistError& e) {
      fresh = std::make_shared<PlaylistSnapshot>(Playlist{}, e.what());
    }
    // The file may have changed while it was read; remember the identity seen before reading,
    // so such a change is picked up at the next check rather than lost.
  }

  std::lock_guard<std::mutex> lock(m_mutex);
  m_identity = identity;
  m_current = std::move(fresh);
  return m_current;
}

}  // namespace zephra
