// A playlist channel's archive, as the pages link to it and archive.php sends the player on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/catchup/catchup.h"
#include "local_server/guide/guide_store.h"
#include "local_server/playlist/channel_list.h"
#include "local_server/playlist_store.h"

namespace zephra {

// Views into `channel`, which must outlive the result.
catchup::Settings catchupSettings(const Channel& channel);

// What a play link hands the player for the channel's archive from `start` to `end`: the archive
// address with the channel's request headers. Nothing when the channel has no catch-up, `start`
// is outside its window, or no address can be made.
std::optional<std::string> archivePlayValue(const Channel& channel, std::int64_t start,
                                            std::int64_t end, std::int64_t now);

// Visits the channels of `playlist` that have an archive, with its days.
void visitArchives(const PlaylistSnapshot& playlist, const guide::ArchiveVisitor& visit);

}  // namespace zephra
