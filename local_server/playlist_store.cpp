#include "local_server/playlist_store.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/file_status.h"

namespace zephra {

std::string foldAsciiCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool containsFolded(std::string_view text, std::string_view foldedNeedle) {
  if (foldedNeedle.empty()) return true;
  if (text.size() < foldedNeedle.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t at = 0; at + foldedNeedle.size() <= text.size(); ++at) {
    std::size_t k = 0;
    while (k < foldedNeedle.size() && lower(text[at + k]) == foldedNeedle[k]) ++k;
    if (k == foldedNeedle.size()) return true;
  }
  return false;
}

PlaylistSnapshot::PlaylistSnapshot(Playlist playlist, std::string problem)
    : m_problem(std::move(problem)) {
  m_parts.push_back(Part{ChannelPart{std::make_shared<const Playlist>(std::move(playlist)), {}}});
  build();
}

PlaylistSnapshot::PlaylistSnapshot(std::vector<ChannelPart> parts, std::string problem)
    : m_problem(std::move(problem)) {
  for (ChannelPart& part : parts)
    if (part.playlist) m_parts.push_back(Part{std::move(part)});
  build();
}

void PlaylistSnapshot::build() {
  std::unordered_map<std::string_view, std::size_t> groupIndex;
  for (std::size_t p = 0; p < m_parts.size(); ++p) {
    Part& part = m_parts[p];
    const ChannelList& list = part.shared.playlist->channels;
    part.first = m_size;
    bool repeats = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::uint64_t id = list.idHash(i);
      bool earlier = false;
      for (std::size_t q = 0; q < p && !earlier; ++q)
        earlier = m_parts[q].shared.playlist->channels.findIdHash(id).has_value();
      if (earlier && !repeats) {
        // The first repeat: from here on the part keeps the positions it shows.
        repeats = true;
        part.shown.reserve(list.size());
        for (std::size_t k = 0; k < i; ++k) part.shown.push_back(static_cast<std::uint32_t>(k));
      }
      if (earlier) continue;
      if (repeats) part.shown.push_back(static_cast<std::uint32_t>(i));
      const std::string_view group = list.field(i, ChannelList::Group);
      if (!group.empty()) {
        auto [it, inserted] = groupIndex.emplace(group, m_groups.size());
        if (inserted) m_groups.push_back(ChannelGroup{std::string(group), 0});
        ++m_groups[it->second].count;
      }
    }
    part.shown.shrink_to_fit();
    part.count = repeats ? part.shown.size() : list.size();
    m_size += part.count;
  }
}

std::pair<const PlaylistSnapshot::Part*, std::size_t> PlaylistSnapshot::locate(std::size_t i) const {
  auto it = std::upper_bound(m_parts.begin(), m_parts.end(), i,
                             [](std::size_t at, const Part& part) { return at < part.first; });
  // Parts that show nothing share their `first` with the next one; upper_bound skips past them.
  const Part& part = *(it - 1);
  const std::size_t local = i - part.first;
  return {&part, part.shown.empty() ? local : part.shown[local]};
}

std::string_view PlaylistSnapshot::field(std::size_t i, ChannelList::Field f) const {
  const auto [part, local] = locate(i);
  return part->shared.playlist->channels.field(local, f);
}

std::uint64_t PlaylistSnapshot::idHash(std::size_t i) const {
  const auto [part, local] = locate(i);
  return part->shared.playlist->channels.idHash(local);
}

bool PlaylistSnapshot::mayHaveCatchup(std::size_t i) const {
  const auto [part, local] = locate(i);
  return part->shared.playlist->channels.mayHaveCatchup(local);
}

Channel PlaylistSnapshot::fromPart(const Part& part, std::size_t local) const {
  Channel channel = part.shared.playlist->channels[local];
  channel.source = part.shared.source;
  return channel;
}

Channel PlaylistSnapshot::channel(std::size_t i) const {
  const auto [part, local] = locate(i);
  return fromPart(*part, local);
}

std::vector<ChannelPart> PlaylistSnapshot::parts() const {
  std::vector<ChannelPart> parts;
  for (const Part& part : m_parts) parts.push_back(part.shared);
  return parts;
}

const std::vector<std::string>& PlaylistSnapshot::warnings() const {
  static const std::vector<std::string> none;
  return m_parts.empty() ? none : m_parts.front().shared.playlist->warnings;
}

std::size_t PlaylistSnapshot::leftOutCount() const {
  return m_parts.empty() ? 0 : m_parts.front().shared.playlist->leftOutCount;
}

std::size_t PlaylistSnapshot::leftOutFirstLine() const {
  return m_parts.empty() ? 0 : m_parts.front().shared.playlist->leftOutFirstLine;
}

// A channel an earlier part lists is found there first, so the first part that has it is the
// one that shows it.
std::optional<Channel> PlaylistSnapshot::findById(const std::string& id) const {
  for (const Part& part : m_parts)
    if (const auto local = part.shared.playlist->channels.findId(id)) return fromPart(part, *local);
  return std::nullopt;
}

std::optional<Channel> PlaylistSnapshot::findByUrl(const std::string& url) const {
  for (const Part& part : m_parts)
    if (const auto local = part.shared.playlist->channels.findUrl(url)) return fromPart(part, *local);
  return std::nullopt;
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
  const auto status = fileStatus(m_path);
  if (!status) return id;
  id.exists = true;
  id.inode = status->identity.inode;
  id.size = static_cast<std::int64_t>(status->size);
  id.mtimeNs = status->modifiedNs;
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
