// Reading a service's answer out of a loaded reply page: the `value` of a form field with a
// fixed id (contract::kReplyValueId, and contract::kReplyTimeId for the update check).
#pragma once

#include <cstdint>
#include <string>

#include "common/contract.h"

namespace zephra {

class WebView;

// The text value of element `id` in the browser's current document.
// Throws WebViewError when the document or element is missing.
std::string readReplyText(WebView& browser, const std::string& id);

// The reply value of the current document as a whole number.
// Throws WebViewError (not readable) or ConversionError (not a whole number).
int32_t readReplyNumber(WebView& browser);

}  // namespace zephra
