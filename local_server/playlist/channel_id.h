#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zephra {

// 64-bit FNV-1a over url, a 0x1f separator and name. FNV-1a is fixed by its definition (no seed,
// no platform dependence), so the ids the favorites database stores stay valid on every machine.
// The separator keeps ("ab", "c") and ("a", "bc") apart.
std::uint64_t channelHash(std::string_view url, std::string_view name);

// channelHash as 16 lowercase hex digits.
std::string channelId(std::string_view url, std::string_view name);
std::string channelIdFromHash(std::uint64_t hash);

}  // namespace zephra
