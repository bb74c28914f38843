// played.php?url=U&ok=1&ms=N or played.php?url=U&ok=0&why=W: the player telling the server how a
// channel it was asked to play fared. Every value arrives percent-encoded and is checked here
// before anything is looked up or stored. Who may send it is request_guard's business.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/http/request_target.h"

namespace zephra {

struct PlayReport {
  std::string url;  // the play value the player was given (address, with any headers)
  bool ok = false;
  std::int64_t openMs = 0;
  std::string reason;  // the player's status text at the failure
};

inline constexpr std::size_t kMaxReportedUrlBytes = 8192;
inline constexpr std::size_t kMaxReportedReasonBytes = 4096;
// An hour: a stream that took longer to open did not open in any useful sense.
inline constexpr std::int64_t kMaxReportedOpenMs = 3600 * 1000;

// The report the parameters make, or nullopt with `why` set.
std::optional<PlayReport> parsePlayReport(const http::QueryParams& params, std::string& why);

}  // namespace zephra
