// What crosses into page scripts and load requests, and what comes back from them.
#include <string>

#include <gtest/gtest.h>

#include "player_logic/web_view_text.h"

namespace zephra::web {
namespace {

TEST(JsStringLiteralTest, QuotesAndEscapesEverythingThatCouldEndOrBendTheLiteral) {
  const std::pair<std::string, std::string> cases[] = {
      {"retVal", "\"retVal\""},
      {"", "\"\""},
      {"a\"b", "\"a\\u0022b\""},
      {"a'b", "\"a\\u0027b\""},
      {"a\\b", "\"a\\u005Cb\""},
      {"</script>", "\"\\u003C/script\\u003E\""},
      {"line\nbreak\r\t", "\"line\\u000Abreak\\u000D\\u0009\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"\xC3\xBC", "\"\\u00FC\""},                       // ü
      {"\xE2\x80\xA8", "\"\\u2028\""},                   // line separator ends old JS lines
      {"\xF0\x9F\x98\x80", "\"\\uD83D\\uDE00\""},        // astral: surrogate pair
      {"\xFF", "\"\\uDCFF\""},                           // not UTF-8
      {"\xC3(", "\"\\uDCC3(\""},                         // cut sequence
      {"\xC0\xAF", "\"\\uDCC0\\uDCAF\""},                // overlong "/"
      {"\xED\xA0\x80", "\"\\uDCED\\uDCA0\\uDC80\""},     // encoded surrogate
      {"\xF4\x90\x80\x80", "\"\\uDCF4\\uDC90\\uDC80\\uDC80\""},  // past U+10FFFF
      {"\xE2\x82", "\"\\uDCE2\\uDC82\""},                // truncated at the end
  };
  for (const auto& [text, literal] : cases) {
    SCOPED_TRACE(literal);
    EXPECT_EQ(jsStringLiteral(text), literal);
  }
}

TEST(JsStringLiteralTest, OutputIsPrintableAsciiWhateverTheInput) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (const std::string& text : {all, all + all, std::string(10000, '\x80')}) {
    const std::string literal = jsStringLiteral(text);
    for (char c : literal) {
      ASSERT_GE(c, 0x20);
      ASSERT_LT(c, 0x7F);
    }
    // The only quotes are the two that delimit it.
    EXPECT_EQ(literal.find('"', 1), literal.size() - 1);
  }
}

TEST(ElementValueResultTest, DecodesTaggedAnswers) {
  struct Case {
    std::string answer;
    ElementRead kind;
    std::string value;
  } const cases[] = {
      {"V42", ElementRead::Value, "42"},
      {"V", ElementRead::Value, ""},
      {"V%22%5C%25x", ElementRead::Value, "\"\\%x"},
      {"V%C3%BC%00end", ElementRead::Value, std::string("\xC3\xBC\0end", 6)},
      {"Va%2", ElementRead::Garbled, ""},
      {"V%zz", ElementRead::Garbled, ""},
      {"V%", ElementRead::Garbled, ""},
      {"N", ElementRead::NoElement, ""},
      {"U", ElementRead::NoValue, ""},
      {"Nx", ElementRead::Garbled, ""},
      {"", ElementRead::Garbled, ""},
      {"undefined", ElementRead::Garbled, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    std::string value;
    EXPECT_EQ(parseElementValueResult(c.answer, value), c.kind);
    EXPECT_EQ(value, c.value);
  }
}

TEST(LoadableUrlTest, KeepsValidTextAndEncodesWhatWouldBeLost) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://127.0.0.1:8080/query.php?code=&fav=0", "http://127.0.0.1:8080/query.php?code=&fav=0"},
      {"#1|http://x/y?a=1|b", "#1|http://x/y?a=1|b"},
      {"http://h/\xC3\xBC", "http://h/\xC3\xBC"},
      {"http://h/\xFF\xFE", "http://h/%FF%FE"},
      {std::string("http://h/a\0b", 12), "http://h/a%00b"},
      {"http://h/\xC3", "http://h/%C3"},
      {"", ""},
  };
  for (const auto& [url, loadable] : cases) {
    SCOPED_TRACE(loadable);
    EXPECT_EQ(loadableUrl(url), loadable);
  }
}

}  // namespace
}  // namespace zephra::web
