#include "player_logic/reply_reader.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/web_view.h"
#include "player_logic/whole_number.h"

namespace zephra {
namespace {

// A browser whose current document is a map of element ids to values.
class DocumentDouble : public WebView {
 public:
  std::map<std::string, std::string> elements;
  bool hasDocument = true;
  void navigate(const std::string&) override {}
  void refresh() override {}
  wxWindow* window() override { return nullptr; }
  std::vector<PageLink> readLinks(const std::string&) override { return links; }
  void markLinks(const std::string&, const std::string& value, const std::string&) override { marked.push_back(value); }
  void setLocalCookie(const std::string&, const std::string&, const std::string&) override {}
  std::vector<PageLink> links;
  std::vector<std::string> marked;
  std::string readElementValue(const std::string& id) override {
    if (!hasDocument) throw WebViewError("no document");
    auto it = elements.find(id);
    if (it == elements.end()) throw WebViewError("no element '" + id + "'");
    return it->second;
  }
};

TEST(ReplyReader, ReadsRetValAsAWholeNumber) {
  DocumentDouble page;
  const struct {
    const char* value;
    int32_t number;
  } ok[] = {{"1", 1}, {"2", 2}, {"0", 0}, {"3", 3}, {"01", 1}, {" 2", 2}, {"-1", -1}};
  for (const auto& c : ok) {
    page.elements["retVal"] = c.value;
    EXPECT_EQ(readReplyNumber(page), c.number) << c.value;
  }
  for (const char* bad : {"2 ", "", "1.5", "yes"}) {
    page.elements["retVal"] = bad;
    EXPECT_THROW(readReplyNumber(page), ConversionError) << bad;
  }
}

TEST(ReplyReader, MissingElementOrDocumentIsAnError) {
  DocumentDouble page;
  EXPECT_THROW(readReplyNumber(page), WebViewError);
  page.elements["retTime"] = "2026-12-08";
  EXPECT_EQ(readReplyText(page, contract::kReplyTimeId), "2026-12-08");
  page.hasDocument = false;
  EXPECT_THROW(readReplyText(page, contract::kReplyTimeId), WebViewError);
}

}  // namespace
}  // namespace zephra
