#include "local_server/sources/provider/account_channels.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "local_server/playlist/channel_id.h"

namespace zephra {

std::string_view liveExtension(const std::vector<std::string>& outputFormats) {
  auto allowed = [&](std::string_view format) {
    return std::find(outputFormats.begin(), outputFormats.end(), format) != outputFormats.end();
  };
  if (outputFormats.empty() || allowed("ts")) return "ts";
  return allowed("m3u8") ? "m3u8" : "ts";
}

Playlist accountPlaylist(const ProviderLogin& login, const std::vector<std::string>& outputFormats,
                         std::string_view categoriesAnswer, std::string_view streamsAnswer,
                         std::size_t maxChannels) {
  const std::vector<ProviderCategory> categories = readCategories(categoriesAnswer);
  std::unordered_map<std::string, std::size_t> rank;
  for (std::size_t i = 0; i < categories.size(); ++i) rank.emplace(categories[i].id, i);

  struct Ranked {
    std::size_t rank;
    ProviderStream stream;
  };
  std::vector<Ranked> streams;
  std::unordered_set<std::int64_t> seen;
  Playlist playlist;
  playlist.leftOutCount = readStreams(streamsAnswer, [&](ProviderStream& stream) {
    if (!seen.insert(stream.id).second) return;
    if (streams.size() >= maxChannels) {
      ++playlist.cutCount;
      return;
    }
    const auto found = rank.find(stream.category);
    streams.push_back(Ranked{found == rank.end() ? categories.size() : found->second,
                             std::move(stream)});
  });
  std::stable_sort(streams.begin(), streams.end(),
                   [](const Ranked& a, const Ranked& b) { return a.rank < b.rank; });

  const std::string_view extension = liveExtension(outputFormats);
  playlist.channels.reserve(streams.size());
  for (Ranked& ranked : streams) {
    ProviderStream& stream = ranked.stream;
    Channel channel;
    channel.url = providerLiveAddress(login, stream.id, extension);
    channel.name = std::move(stream.name);
    channel.id = channelId(channel.url, channel.name);
    if (ranked.rank < categories.size()) channel.group = categories[ranked.rank].name;
    channel.logo = std::move(stream.logo);
    channel.tvgId = std::move(stream.guideId);
    if (stream.archiveDays > 0) {
      channel.catchupMode = "xc";
      channel.catchupDays = stream.archiveDays;
    }
    playlist.channels.push_back(channel);
  }
  playlist.channels.finish();
  return playlist;
}

}  // namespace zephra
