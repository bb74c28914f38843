// How many connections at once a channel's provider account allows. Providers often allow one:
// a recording then keeps the account busy, and watching another channel meanwhile fails.
#pragma once

#include <optional>

#include "local_server/playlist/channel_list.h"

namespace zephra {

// None while unknown. Hook: channels do not carry their account's connection limit yet; once a
// source's account tells it, it is returned here and the recordings page warns of it.
inline std::optional<int> accountConnectionLimit(const Channel&) { return std::nullopt; }

}  // namespace zephra
