// The player API's answer readers on arbitrary bytes: the first byte picks the reader, the rest
// is the answer. No crash, and whatever is handed out is bounded text without control characters,
// with a positive stream id.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "local_server/sources/provider/account_channels.h"
#include "local_server/sources/provider/provider_address.h"

namespace {

void checkText(std::string_view text, std::size_t limit) {
  if (text.size() > limit) std::abort();
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zephra;
  if (size == 0) return 0;
  const std::string_view answer(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    switch (data[0] % 4) {
      case 0: {
        const AccountInfo info = readAccountInfo(answer, 1700000000);
        checkText(info.status, 40);
        for (const auto& format : info.outputFormats) checkText(format, 16);
        break;
      }
      case 1:
        for (const ProviderCategory& category : readCategories(answer)) {
          checkText(category.id, 64);
          checkText(category.name, kMaxProviderText);
        }
        break;
      case 2: {
        const Playlist playlist = accountPlaylist(ProviderLogin{"http://p", "u", "p"}, {"m3u8"},
                                                  R"([{"category_id":"1","category_name":"A"}])",
                                                  answer, 100);
        for (const Channel& channel : playlist.channels) {
          checkText(channel.name, kMaxProviderText);
          checkText(channel.group, kMaxProviderText);
          if (channel.name.empty() || channel.catchupDays < 0) std::abort();
        }
        break;
      }
      default:
        if (const auto login = loginOfPlaylistAddress(answer))
          if (login->user.empty() || login->password.empty()) std::abort();
        break;
    }
  } catch (const ProviderError&) {
  }
  return 0;
}
