// An account's channels as a playlist of the directory: the streams in the provider's category
// order, each with the address the account allows and the facts its archive needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "local_server/playlist/m3u_parser.h"
#include "local_server/sources/provider/provider_address.h"
#include "local_server/sources/provider/provider_answers.h"

namespace zephra {

// "ts" when the account allows it or says nothing, else "m3u8" when allowed, else "ts".
std::string_view liveExtension(const std::vector<std::string>& outputFormats);

// Groups are the categories' names, in the order of `categories`; streams of an unknown category
// come last, without a group. A stream listed twice is kept once; past `maxChannels` streams are
// counted in cutCount, streams without id or name in leftOutCount.
Playlist accountPlaylist(const ProviderLogin& login, const std::vector<std::string>& outputFormats,
                         std::string_view categoriesAnswer, std::string_view streamsAnswer,
                         std::size_t maxChannels);

}  // namespace zephra
