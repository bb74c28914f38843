#include "local_server/playlist/channel_list.h"

#include <limits>
#include <stdexcept>

#include "local_server/playlist/channel_id.h"

namespace zephra {

namespace {

std::uint64_t keyHash(std::string_view key) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

std::vector<std::uint32_t> emptyTable(std::size_t keys) {
  std::size_t capacity = 16;
  while (capacity * 3 < keys * 4) capacity *= 2;
  return std::vector<std::uint32_t>(capacity, 0);
}

template <typename C>  // Channel or const Channel
auto fieldOf(C& c, ChannelList::Field f) -> decltype(&c.id) {
  switch (f) {
    case ChannelList::Name: return &c.name;
    case ChannelList::Url: return &c.url;
    case ChannelList::Group: return &c.group;
    case ChannelList::Logo: return &c.logo;
    case ChannelList::TvgId: return &c.tvgId;
    case ChannelList::TvgName: return &c.tvgName;
    case ChannelList::TvgShift: return &c.tvgShift;
    case ChannelList::UserAgent: return &c.headers.userAgent;
    case ChannelList::Referrer: return &c.headers.referrer;
    default: return nullptr;
  }
}

std::string packedCatchup(const Channel& c) {
  if (c.catchupMode.empty() && c.catchupDays == 0 && c.catchupSource.empty()) return {};
  return c.catchupMode + '\x1f' + std::to_string(c.catchupDays) + '\x1f' + c.catchupSource;
}

void unpackCatchup(std::string_view packed, Channel& c) {
  const std::size_t first = packed.find('\x1f');
  if (first == std::string_view::npos) return;
  const std::size_t second = packed.find('\x1f', first + 1);
  if (second == std::string_view::npos) return;
  c.catchupMode.assign(packed.substr(0, first));
  c.catchupDays = std::stoi(std::string(packed.substr(first + 1, second - first - 1)));
  c.catchupSource.assign(packed.substr(second + 1));
}

bool parseIdHash(std::string_view id, std::uint64_t& hash) {
  hash = 0;
  for (char c : id) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return false;
    hash = hash << 4 | static_cast<std::uint64_t>(digit);
  }
  return true;
}

}  // namespace

void ChannelList::reserve(std::size_t channels) { m_records.reserve(channels); }

void ChannelList::push_back(const Channel& channel) {
  Record record;
  std::uint64_t hash = 0;
  if (channel.id.size() != 16 || !parseIdHash(channel.id, hash))
    throw std::invalid_argument("channel id is not 16 hex digits: " + channel.id.substr(0, 40));
  record.hash = hash;
  const std::string catchup = packedCatchup(channel);
  auto value = [&](int f) -> const std::string& {
    return f == Catchup ? catchup : *fieldOf(channel, static_cast<Field>(f));
  };
  const std::size_t offset = m_text.size();
  std::size_t length = 0;
  for (int f = 0; f < kFields; ++f) length += value(f).size();
  // Offsets are 32 bits; the parser's file limit keeps far below that.
  if (offset + length > std::numeric_limits<std::uint32_t>::max())
    throw std::length_error("channel list above 4 GiB of text");
  record.offset = static_cast<std::uint32_t>(offset);
  for (int f = 0; f < kFields; ++f) {
    m_text += value(f);
    record.ends[f] = static_cast<std::uint32_t>(m_text.size() - offset);
  }
  m_records.push_back(record);
  m_byId.clear();
  m_byUrl.clear();
}

std::string_view ChannelList::field(std::size_t i, Field f) const {
  const Record& record = m_records[i];
  const std::uint32_t start = f == 0 ? 0 : record.ends[f - 1];
  return std::string_view(m_text).substr(record.offset + start, record.ends[f] - start);
}

Channel ChannelList::operator[](std::size_t i) const {
  Channel channel;
  channel.id = channelIdFromHash(m_records[i].hash);
  for (int f = 0; f < Catchup; ++f)
    fieldOf(channel, static_cast<Field>(f))->assign(field(i, static_cast<Field>(f)));
  unpackCatchup(field(i, Catchup), channel);
  return channel;
}

Channel ChannelList::at(std::size_t i) const {
  if (i >= size()) throw std::out_of_range("channel " + std::to_string(i) + " of " + std::to_string(size()));
  return (*this)[i];
}

void ChannelList::index(std::vector<std::uint32_t>& table, std::size_t i, std::uint64_t hash) {
  const std::size_t mask = table.size() - 1;
  std::size_t slot = static_cast<std::size_t>(hash) & mask;
  while (table[slot] != 0) slot = (slot + 1) & mask;
  table[slot] = static_cast<std::uint32_t>(i + 1);
}

void ChannelList::finish() {
  m_text.shrink_to_fit();
  m_records.shrink_to_fit();
  std::size_t urlKeys = size();
  for (std::size_t i = 0; i < size(); ++i) urlKeys += hasHeaders(i) ? 1 : 0;
  m_byId = emptyTable(size());
  m_byUrl = emptyTable(urlKeys);
  for (std::size_t i = 0; i < size(); ++i) {
    index(m_byId, i, m_records[i].hash);
    // The player asks by what it was given to play (the address with its headers), an older
    // caller by the bare address.
    if (hasHeaders(i))
      index(m_byUrl, i,
            keyHash(joinStreamHeaders(field(i, Url), StreamHeaders{std::string(field(i, UserAgent)),
                                                                    std::string(field(i, Referrer))})));
    index(m_byUrl, i, keyHash(field(i, Url)));
  }
}

std::optional<std::size_t> ChannelList::findId(std::string_view id) const {
  std::uint64_t hash = 0;
  if (id.size() != 16 || !parseIdHash(id, hash)) return std::nullopt;
  return findIdHash(hash);
}

std::optional<std::size_t> ChannelList::findIdHash(std::uint64_t hash) const {
  if (m_byId.empty()) {  // not finished: a list being built is searched in full
    for (std::size_t i = 0; i < size(); ++i)
      if (m_records[i].hash == hash) return i;
    return std::nullopt;
  }
  const std::size_t mask = m_byId.size() - 1;
  for (std::size_t slot = static_cast<std::size_t>(hash) & mask; m_byId[slot] != 0;
       slot = (slot + 1) & mask) {
    const std::size_t i = m_byId[slot] - 1;
    if (m_records[i].hash == hash) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> ChannelList::findUrl(std::string_view url) const {
  auto matches = [&](std::size_t i) {
    if (field(i, Url) == url) return true;
    return hasHeaders(i) && playValue((*this)[i]) == url;
  };
  if (m_byUrl.empty()) {
    for (std::size_t i = 0; i < size(); ++i)
      if (matches(i)) return i;
    return std::nullopt;
  }
  const std::size_t mask = m_byUrl.size() - 1;
  std::optional<std::size_t> first;
  for (std::size_t slot = static_cast<std::size_t>(keyHash(url)) & mask; m_byUrl[slot] != 0;
       slot = (slot + 1) & mask) {
    const std::size_t i = m_byUrl[slot] - 1;
    if ((!first || i < *first) && matches(i)) first = i;
  }
  return first;
}

std::size_t ChannelList::bytes() const {
  return m_text.capacity() + m_records.capacity() * sizeof(Record) +
         (m_byId.capacity() + m_byUrl.capacity()) * sizeof(std::uint32_t);
}

}  // namespace zephra
