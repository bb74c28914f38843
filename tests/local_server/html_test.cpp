// Escaping for pages and query strings: what a browser decodes must be exactly the original, and
// no value can leave its attribute or element.
#include <gtest/gtest.h>

#include "common/text.h"
#include "tests/local_server/server_test_support.h"

namespace zephra::test {
namespace {

TEST(HtmlEscape, RoundTripsThroughTheBrowsersDecoding) {
  for (const std::string text :
       {"", "plain", "a&b", "&amp;", "<script>x</script>", "\"quoted\" 'single'",
        "http://h/a?b=1&c=2|d#e", "ünïcödé ✓", "&#39;&lt;"}) {
    const std::string escaped = text::escapeHtml(text);
    EXPECT_EQ(escaped.find_first_of("<>\"'"), std::string::npos) << escaped;
    EXPECT_EQ(htmlUnescape(escaped), text);
  }
}

TEST(UrlEncode, RoundTripsAndLeavesOnlySafeCharacters) {
  for (const std::string text : {"", "abc-_.~", "a b&c=d?e#f|g%h+i/j", "ü\x01\xff"}) {
    const std::string encoded = text::percentEncoded(text);
    EXPECT_EQ(encoded.find_first_of(" &=?#|+/"), std::string::npos) << encoded;
    EXPECT_EQ(text::percentDecoded(encoded), text);
  }
  EXPECT_EQ(text::percentDecoded("100%"), "100%");
  EXPECT_EQ(text::percentDecoded("%zz%4"), "%zz%4");
  EXPECT_EQ(text::percentDecoded("a+b%2B"), "a+b+");
}

}  // namespace
}  // namespace zephra::test
