#include "local_server/playlist/channel_id.h"

namespace zephra {
namespace {

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

std::uint64_t fnvAppend(std::uint64_t hash, std::string_view bytes) {
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= kFnvPrime;
  }
  return hash;
}

}  // namespace

std::uint64_t channelHash(std::string_view url, std::string_view name) {
  std::uint64_t hash = fnvAppend(kFnvOffset, url);
  hash = fnvAppend(hash, std::string_view("\x1f", 1));
  return fnvAppend(hash, name);
}

std::string channelIdFromHash(std::uint64_t hash) {
  static const char kDigits[] = "0123456789abcdef";
  std::string id(16, '0');
  for (int i = 15; i >= 0; --i) {
    id[static_cast<std::size_t>(i)] = kDigits[hash & 0xF];
    hash >>= 4;
  }
  return id;
}

std::string channelId(std::string_view url, std::string_view name) {
  return channelIdFromHash(channelHash(url, name));
}

}  // namespace zephra
