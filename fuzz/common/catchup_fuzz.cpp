// Catch-up attributes from playlists: mode, source template, days and correction, against one
// channel address. Whatever they say, an archive address is one network address with nothing
// a line end or a header part could add.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/catchup/catchup.h"
#include "common/stream_address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Fields separated by NUL: address, mode, source, days, correction; then the times.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view fields[5];
  std::size_t at = 0;
  for (std::string_view& field : fields) {
    const std::size_t end = std::min(input.find('\0', at), input.size());
    field = input.substr(std::min(at, input.size()), end - std::min(at, input.size()));
    at = end + 1;
  }
  using namespace zephra::catchup;
  Settings settings{fields[0], fields[1], fields[2], parseDays(fields[3]), parseCorrection(fields[4]), std::nullopt};
  const std::int64_t now = 1700000000 + static_cast<std::int64_t>(size) * 977;
  for (const Times& times : {Times{now - 7200, now - 3600, now}, Times{now - 60, now + 3600, now}, Times{0, 0, 0}}) {
    const auto address = archiveAddress(settings, times);
    if (!address) continue;
    if (!zephra::isNetworkStreamAddress(*address) || address->find_first_of(std::string(" |\r\n\0", 5)) != std::string::npos)
      __builtin_trap();
  }
  (void)expandTemplate(fields[2], {now, now, now});
  (void)inWindow(settings, now - 86400, now);
  return 0;
}
