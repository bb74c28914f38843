// Zapping through the channels of a directory page: which of its play links comes next.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zephra {

// `values` are the page's channels in their order (what each link plays), `current` the one
// playing, `step` +1 for the next channel and -1 for the previous one. Wraps at both ends; a
// channel that is not on the page starts the walk at the first (next) or last (previous) one.
// Nothing when the page has no channels.
std::optional<std::size_t> zapTarget(const std::vector<std::string>& values, const std::string& current, int step);

}  // namespace zephra
