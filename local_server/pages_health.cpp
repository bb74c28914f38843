// The directory's marks of channels that failed when last tried, and the sources page's line
// about a channel check.
#include <ctime>

#include "common/text.h"
#include "local_server/pages.h"
#include "platform/calendar_time.h"

namespace zephra {

std::string localDateTime(std::int64_t unixSeconds) {
  const auto parts = localCalendarTime(unixSeconds);
  if (!parts) return "?";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &*parts);
  return text;
}

void renderHealthMark(std::string& out, const ChannelOutcome& outcome) {
  const std::string what = outcome.by == ChannelOutcome::By::Check ? "Check" : "Play";
  out += "<span class=\"health failed\" title=\"" +
         text::escapeHtml(what + " of " + localDateTime(outcome.when) +
                          " failed: " + outcome.reason) +
         "\">\xE2\x9A\xA0 failed</span>";
}

std::string renderCheckState(const CheckProgress& check, std::int64_t sourceId) {
  if (check.sourceId != sourceId || sourceId == 0) return {};
  const std::string failed =
      check.failed == 0 ? "" : ", " + std::to_string(check.failed) + " failed";
  if (check.running)
    return "Checking channels: " + std::to_string(check.checked) + " of " +
           std::to_string(check.total) + " checked" + failed + "\xE2\x80\xA6";
  if (check.total == 0) return "Channel check: no channel with a web address to check.";
  return std::string(check.cancelled ? "Channel check stopped" : "Channel check") + " of " +
         localDateTime(check.started) + ": " + std::to_string(check.checked) + " of " +
         std::to_string(check.total) + " checked" + failed + ".";
}

}  // namespace zephra
