// Request targets, queries and ranges as hostile clients send them.
#include <gtest/gtest.h>

#include "common/http/byte_range.h"
#include "common/http/request_target.h"

namespace zephra::http {
namespace {

TEST(QueryParsing, ValuesKeepEverythingAfterTheFirstEquals) {
  struct Case {
    const char* query;
    QueryParams expected;
  };
  const Case cases[] = {
      {"q=a=b", {{"q", "a=b"}}},
      {"q==", {{"q", "="}}},
      {"a=1&b=x=y&c", {{"a", "1"}, {"b", "x=y"}, {"c", ""}}},
      {"&&a=%41%2b+b&", {{"a", "A+ b"}}},
      {"v=%zz%4", {{"v", "%zz%4"}}},
      {"x=a?b", {{"x", "a?b"}}},
      {"=v", {{"", "v"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(parseQuery(c.query), c.expected) << c.query;
}

TEST(RequestTargetParsing, SplitsAtTheFirstQuestionMarkOnly) {
  const auto target = parseRequestTarget("/query.php?x=?y&code=&fav=1");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->path, "/query.php");
  EXPECT_EQ(target->query, "x=?y&code=&fav=1");
  EXPECT_EQ(target->params, (QueryParams{{"x", "?y"}, {"code", ""}, {"fav", "1"}}));

  const auto encoded = parseRequestTarget("/a%20b/%2e%2e/c+d");
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->path, "/a b/../c+d");  // decoded; the static file check refuses ".."

  for (const char* bad : {"", "query.php", "*", "http://evil.example/", "/a#b"})
    EXPECT_FALSE(parseRequestTarget(bad)) << bad;
}

// The player puts a stream address last in a query unescaped; it must arrive whole.
TEST(RawTrailingValue, IsTheWholeRestAfterTheFirstParameterOfThatName) {
  struct Case {
    const char* query;
    const char* expected;
  };
  const Case cases[] = {
      {"url=http://h/live?id=1&x=2", "http://h/live?id=1&x=2"},
      {"x=1&url=rtsp://h/s", "rtsp://h/s"},
      {"url=a%20b+c", "a%20b+c"},  // raw: no decoding at all
      {"url=", ""},
      {"url", ""},
      {"", ""},
      {"xurl=1&url=2", "2"},  // whole names only
      {"x=url=1", ""},
      {"&&url=a&url=b", "a&url=b"},
      {"code=<b>&amp", "<b>&amp"},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.query).find("code") == 0 ? "code" : "url";
    EXPECT_EQ(rawTrailingValue(c.query, name), c.expected) << c.query;
  }
}

TEST(ByteRangeParsing, RangesOfAOneMegabyteFile) {
  constexpr std::uint64_t kSize = 1 << 20;
  using Kind = ByteRange::Kind;
  struct Case {
    const char* header;
    Kind kind;
    std::uint64_t first, last;
  };
  const Case cases[] = {
      {"bytes=0-99", Kind::Partial, 0, 99},
      {"bytes=1000-", Kind::Partial, 1000, kSize - 1},
      {"bytes=-200", Kind::Partial, kSize - 200, kSize - 1},
      {"bytes=-99999999", Kind::Partial, 0, kSize - 1},
      {"bytes=10-99999999999", Kind::Partial, 10, kSize - 1},
      {"bytes=999999999-", Kind::Unsatisfiable, 0, 0},
      {"bytes=1048576-1048577", Kind::Unsatisfiable, 0, 0},
      {"bytes=-0", Kind::Unsatisfiable, 0, 0},
      {"bytes=99999999999999999999-", Kind::Whole, 0, 0},  // too long to be a number
      {"bytes=5-1", Kind::Whole, 0, 0},
      {"bytes=0-1,5-9", Kind::Whole, 0, 0},
      {"items=0-1", Kind::Whole, 0, 0},
      {"bytes=a-b", Kind::Whole, 0, 0},
      {"bytes=-", Kind::Whole, 0, 0},
      {"", Kind::Whole, 0, 0},
  };
  for (const Case& c : cases) {
    const ByteRange range = parseByteRange(c.header, kSize);
    EXPECT_EQ(range.kind, c.kind) << c.header;
    if (c.kind == Kind::Partial) {
      EXPECT_EQ(range.first, c.first) << c.header;
      EXPECT_EQ(range.last, c.last) << c.header;
    }
  }
  EXPECT_EQ(parseByteRange("bytes=0-", 0).kind, Kind::Unsatisfiable);
}

}  // namespace
}  // namespace zephra::http
