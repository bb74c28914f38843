// played.php request targets as the player (or anyone holding the secret) may send them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/http/request_target.h"
#include "common/text.h"
#include "local_server/health/play_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string target(reinterpret_cast<const char*>(data), size);
  const auto parsed = zephra::http::parseRequestTarget(target);
  if (!parsed) return 0;
  std::string why;
  const auto report = zephra::parsePlayReport(parsed->params, why);
  if (!report) {
    if (why.empty()) __builtin_trap();
    return 0;
  }
  if (report->url.empty() || report->url.size() > zephra::kMaxReportedUrlBytes) __builtin_trap();
  if (report->openMs < 0 || report->openMs > zephra::kMaxReportedOpenMs) __builtin_trap();
  if (!report->ok && (report->reason.empty() || !zephra::text::isValidUtf8(report->reason)))
    __builtin_trap();
  for (char c : report->reason)
    if (static_cast<unsigned char>(c) < 0x20) __builtin_trap();
  return 0;
}
