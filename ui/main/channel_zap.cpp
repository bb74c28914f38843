#include "ui/main/channel_zap.h"

#include <algorithm>

namespace zephra {

std::optional<std::size_t> zapTarget(const std::vector<std::string>& values, const std::string& current, int step) {
  if (values.empty()) return std::nullopt;
  const std::size_t count = values.size();
  const auto at = std::find(values.begin(), values.end(), current);
  if (at == values.end()) return step > 0 ? 0 : count - 1;
  const std::size_t index = static_cast<std::size_t>(at - values.begin());
  return step > 0 ? (index + 1) % count : (index + count - 1) % count;
}

}  // namespace zephra
