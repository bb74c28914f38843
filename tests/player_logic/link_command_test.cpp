#include "player_logic/link_command.h"

#include "common/contract.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zephra {
namespace {

struct Case {
  std::string url;
  std::optional<LinkCommand> expected;
};

std::optional<LinkCommand> cmd(int32_t kind, const std::string& value) { return LinkCommand{kind, value}; }

TEST(LinkCommand, DecodesAtTheFirstHashAndTheFirstBar) {
  const std::string page = "http://127.0.0.1:8480/query.php?code=&fav=0";
  const Case cases[] = {
      {page, std::nullopt},                              // almost every navigation
      {page + "#1|abc", cmd(1, "abc")},
      {page + "#2|17", cmd(2, "17")},
      {page + "#2|a|b", cmd(2, "a|b")},                  // only the first "|" splits
      {page + "#1|x#y", cmd(1, "x#y")},                  // only the first "#" opens the command
      {page + "#a#1|abc", std::nullopt},                 // kind "a#1"
      {page + "#01|abc", cmd(1, "abc")},
      {page + "# 1|abc", cmd(1, "abc")},
      {page + "#$1|abc", cmd(1, "abc")},
      {page + "#0x1|abc", cmd(1, "abc")},
      {page + "#+1|abc", cmd(1, "abc")},
      {page + "#1 |abc", std::nullopt},                  // trailing blank: not a whole number
      {page + "#|abc", std::nullopt},                    // empty kind
      {page + "#1abc", std::nullopt},                    // no "|"
      {page + "#", std::nullopt},
      {page + "#3|abc", cmd(3, "abc")},                  // decoded; the caller ignores other kinds
      {page + "#-1|abc", cmd(-1, "abc")},
      {page + "#1|", cmd(1, "")},                        // empty value passes as empty text
      {"#1|http://s/live?a=1&b=2|x", cmd(1, "http://s/live?a=1&b=2|x")},
      {page + "#1|%20raw%7C", cmd(1, "%20raw%7C")},      // no percent-decoding, no trimming
      // The browser's own "%20" for a blank, undone in the kind only.
      {page + "#%201|a%20b", cmd(1, "a%20b")},
      {page + "#%20%201|x", cmd(1, "x")},
      {page + "#1%20|x", std::nullopt},
      {page + "#%2 1|x", std::nullopt},
      {page + "#1| spaced ", cmd(1, " spaced ")},
      {page + "#99999999999|x", std::nullopt},           // kind beyond 32 bits
  };
  for (const auto& c : cases) {
    const auto got = decodeLinkCommand(c.url);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.url;
    if (got) {
      EXPECT_EQ(got->kind, c.expected->kind) << c.url;
      EXPECT_EQ(got->value, c.expected->value) << c.url;
    }
  }
}

// What the directory pages write is what the player reads back, whatever the value holds.
TEST(LinkCommand, PagesLinksDecodeToTheirKindAndValue) {
  for (const int32_t kind : {contract::kPlayLink, contract::kAddFavoriteLink})
    for (const std::string value : {"", "17", "http://s/live?a=1&b=2|x#y", "%20raw %7C"}) {
      const auto decoded = decodeLinkCommand("http://127.0.0.1:8480/" + contract::linkCommand(kind, value));
      ASSERT_TRUE(decoded) << value;
      EXPECT_EQ(decoded->kind, kind);
      EXPECT_EQ(decoded->value, value);
    }
}

TEST(LinkCommand, AnyBytesAreSafe) {
  std::string junk;
  for (int i = 0; i < 256; ++i) junk += static_cast<char>(i);
  EXPECT_NO_THROW(decodeLinkCommand(junk));
  EXPECT_NO_THROW(decodeLinkCommand(std::string(1 << 20, '#')));
  EXPECT_NO_THROW(decodeLinkCommand(std::string(1 << 20, '|')));
  const auto huge = decodeLinkCommand("#1|" + std::string(1 << 20, 'v'));
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->value.size(), 1u << 20);
  const auto binary = decodeLinkCommand(std::string("#2|\0\xff|#", 7));
  ASSERT_TRUE(binary);
  EXPECT_EQ(binary->value, std::string("\0\xff|#", 4));
}

}  // namespace
}  // namespace zephra
