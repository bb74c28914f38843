// The frame every service page shares: a small self-contained page (its style inline, no
// scripts), since the service has no asset files of its own.
#pragma once

#include <string>
#include <string_view>

#include "common/html/html.h"

namespace zephra::service {

std::string pageStart(std::string_view title);
using html::pageEnd;

}  // namespace zephra::service
