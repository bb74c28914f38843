// HLS master playlists: the variants a live channel offers, and the one the player opens. The
// player picks the variant itself and hands the engine that variant's playlist, because the
// engine would first fetch every variant's playlist and probe a segment of each, one after the
// other, before the first picture (README, Live streams).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zephra {

struct HlsVariant {
  long long bandwidth = 0;  // bits per second, as the playlist declares
  int height = 0;           // 0 when not declared
  std::string uri;          // as written in the playlist
};

// Longest master playlist read; a longer answer is not a usable master playlist.
constexpr size_t kHlsMasterLimit = 1 << 20;
constexpr size_t kHlsVariantLimit = 1000;

// Whether `address` names an HLS playlist (its path ends in ".m3u8").
bool isHlsAddress(std::string_view address);
// The variants of a master playlist; empty when `text` is not one (a media playlist, a page,
// anything else). Never more than kHlsVariantLimit.
std::vector<HlsVariant> readHlsMaster(std::string_view text);
// The variant to open: the highest declared bandwidth, so the picture is the best the channel
// has (as the engine would choose); below `linkBitsPerSecond` when that is known (> 0), with a
// fifth to spare, or the lowest when none fits.
std::optional<HlsVariant> chooseHlsVariant(const std::vector<HlsVariant>& variants, long long linkBitsPerSecond = 0);
// `uri` resolved against the playlist's own address `base` (absolute, host-relative or relative).
std::string resolvePlaylistUri(std::string_view base, std::string_view uri);

}  // namespace zephra
