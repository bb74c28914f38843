#include "player_logic/reply_reader.h"

#include "platform/web_view.h"
#include "player_logic/whole_number.h"

namespace zephra {

std::string readReplyText(WebView& browser, const std::string& id) { return browser.readElementValue(id); }

int32_t readReplyNumber(WebView& browser) { return toWholeNumber(readReplyText(browser, contract::kReplyValueId)); }

}  // namespace zephra
