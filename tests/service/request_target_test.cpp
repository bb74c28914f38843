// Splitting hostile request targets: the player puts values into the query unescaped.
#include <gtest/gtest.h>

#include "service/request_target.h"

namespace zephra::service {
namespace {

struct TargetCase {
  const char* target;
  const char* path;
  const char* name;
  const char* value;     // param(name)
  const char* trailing;  // rawTrailingValue(name)
};

TEST(RequestTarget, SplitsPathParametersAndTheRawTrailingValue) {
  const TargetCase cases[] = {
      {"/update.php?t=20250101-120000", "/update.php", "t", "20250101-120000", "20250101-120000"},
      {"/update.php?t=", "/update.php", "t", "", ""},
      {"/update.php", "/update.php", "t", "", ""},
      // A stream address with its own query, "&" and "?" included, arrives whole.
      {"/report-soft.php?url=http://h/live?id=1&x=2", "/report-soft.php", "url", "http://h/live?id=1",
       "http://h/live?id=1&x=2"},
      {"/report-soft.php?url=a%20b", "/report-soft.php", "url", "a b", "a%20b"},
      {"/report-soft.php?x=1&url=rtsp://h/s", "/report-soft.php", "url", "rtsp://h/s", "rtsp://h/s"},
      {"/about-soft.php?code=<b>&amp", "/about-soft.php", "code", "<b>", "<b>&amp"},
      // Fragments never reach a server; a target that carries one anyway loses it.
      {"/help-soft.php?topic=keys#top", "/help-soft.php", "topic", "keys", "keys"},
      {"/%68elp-soft.php", "/help-soft.php", "topic", "", ""},
      {"/x?%zz=%4", "/x", "%zz", "%4", "%4"},
      {"?t=1", "", "t", "1", "1"},
      {"", "", "t", "", ""},
      {"/a?&&=&t", "/a", "t", "", ""},
  };
  for (const TargetCase& c : cases) {
    const RequestTarget target = parseTarget(c.target);
    EXPECT_EQ(target.path, c.path) << c.target;
    EXPECT_EQ(param(target, c.name), c.value) << c.target;
    EXPECT_EQ(rawTrailingValue(target, c.name), c.trailing) << c.target;
  }
}

TEST(RequestTarget, AnOversizedTargetIsCutNotParsedWhole) {
  const std::string target = "/report-soft.php?url=" + std::string(10 * kMaxTargetBytes, 'a');
  const RequestTarget parsed = parseTarget(target);
  EXPECT_EQ(parsed.path, "/report-soft.php");
  EXPECT_LE(rawTrailingValue(parsed, "url").size(), kMaxTargetBytes);
}

}  // namespace
}  // namespace zephra::service
