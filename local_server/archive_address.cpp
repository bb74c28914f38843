#include "local_server/archive_address.h"

namespace zephra {

catchup::Settings catchupSettings(const Channel& channel) {
  return {channel.url, channel.catchupMode, channel.catchupSource, channel.catchupDays,
          channel.catchupCorrection, std::nullopt};
}

std::optional<std::string> archivePlayValue(const Channel& channel, std::int64_t start,
                                            std::int64_t end, std::int64_t now) {
  const catchup::Settings settings = catchupSettings(channel);
  if (!catchup::inWindow(settings, start, now)) return std::nullopt;
  const auto address = catchup::archiveAddress(settings, {start, end, now});
  if (!address) return std::nullopt;
  return joinStreamHeaders(*address, channel.headers);
}

void visitArchives(const PlaylistSnapshot& playlist, const guide::ArchiveVisitor& visit) {
  for (std::size_t i = 0; i < playlist.size(); ++i) {
    if (!playlist.mayHaveCatchup(i)) continue;
    const Channel channel = playlist.channel(i);
    if (const int days = catchup::windowDays(catchupSettings(channel))) visit(channel, days);
  }
}

}  // namespace zephra
