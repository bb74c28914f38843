#include "common/stream_headers.h"

#include <string>

#include <gtest/gtest.h>

namespace zephra {
namespace {

TEST(StreamHeaders, OnlyATrailingPartOfKnownHeadersIsSplitOff) {
  const struct {
    std::string value;
    std::string address;
    std::string userAgent;
    std::string referrer;
  } cases[] = {
      {"http://h/a.m3u8", "http://h/a.m3u8", "", ""},
      {"http://h/a.m3u8|User-Agent=VLC%2F3.0", "http://h/a.m3u8", "VLC/3.0", ""},
      {"http://h/a|user-agent=x&REFERER=http%3A%2F%2Fr%2F", "http://h/a", "x", "http://r/"},
      {"http://h/a|Referer=r&User-Agent=Mozilla/5.0 (X11; Linux)", "http://h/a", "Mozilla/5.0 (X11; Linux)", "r"},
      {"http://h/a|User-Agent=a&", "http://h/a", "a", ""},           // a stray "&"
      {"http://h/a|User-Agent=1&User-Agent=2", "http://h/a", "2", ""},  // the last one holds
      {"http://h/a|User-Agent=100%", "http://h/a", "100%", ""},       // a lone "%" stays
      {"http://h/a|User-Agent=%zz%4", "http://h/a", "%zz%4", ""},
      {"http://h/a|User-Agent=", "http://h/a", "", ""},               // named, but empty
      // Not a header part: left whole as the address.
      {"http://h/a|", "http://h/a|", "", ""},
      {"http://h/a|b", "http://h/a|b", "", ""},
      {"http://h/a|Origin=o", "http://h/a|Origin=o", "", ""},
      {"http://h/a|User-Agent=x&Cookie=c", "http://h/a|User-Agent=x&Cookie=c", "", ""},
      {"http://h/a|&", "http://h/a|&", "", ""},
      {"http://h/a|User-Agent", "http://h/a|User-Agent", "", ""},
      {"http://h/a?x=1|2", "http://h/a?x=1|2", "", ""},
      // Only the last "|" opens the part, so an address holding one keeps it.
      {"http://h/a|b/c|Referer=r", "http://h/a|b/c", "", "r"},
      {"|User-Agent=u", "", "u", ""},
  };
  for (const auto& c : cases) {
    const StreamRequest request = splitStreamHeaders(c.value);
    EXPECT_EQ(request.address, c.address) << c.value;
    EXPECT_EQ(request.headers.userAgent, c.userAgent) << c.value;
    EXPECT_EQ(request.headers.referrer, c.referrer) << c.value;
    EXPECT_EQ(request.problem, "") << c.value;
  }
}

// A line end in a header value would end that header and start one of the sender's choosing.
TEST(StreamHeaders, ControlCharactersInValuesRefuseAllHeaders) {
  const char* cases[] = {
      "http://h/a|User-Agent=x%0D%0AHost:%20evil",
      "http://h/a|Referer=r%0Aspoof",
      "http://h/a|User-Agent=ok&Referer=%00",
      "http://h/a|User-Agent=tab%09x",
      "http://h/a|User-Agent=del%7F",
      "http://h/a|User-Agent=raw\r\nX: y",
  };
  for (const char* value : cases) {
    const StreamRequest request = splitStreamHeaders(value);
    EXPECT_NE(request.problem, "") << value;
    EXPECT_TRUE(request.headers.empty()) << value;
    EXPECT_EQ(request.address, "http://h/a") << value;
  }
}

TEST(StreamHeaders, JoinedValuesSplitBackToTheSameHeaders) {
  const StreamHeaders samples[] = {
      {"", ""},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko)", ""},
      {"", "https://site.example/watch?a=1&b=2|x"},
      {"UA with & and = and | and %41 and \xC3\xA9", "http://r/#frag"},
  };
  for (const StreamHeaders& headers : samples) {
    const std::string joined = joinStreamHeaders("http://h/live.m3u8?token=a|b", headers);
    const StreamRequest request = splitStreamHeaders(joined);
    EXPECT_EQ(request.address, "http://h/live.m3u8?token=a|b") << joined;
    EXPECT_TRUE(request.headers == headers) << joined;
    EXPECT_EQ(request.problem, "");
  }
  EXPECT_EQ(joinStreamHeaders("http://h/a", {"VLC/3.0 x", "http://r/"}),
            "http://h/a|User-Agent=VLC%2F3.0%20x&Referer=http%3A%2F%2Fr%2F");
  EXPECT_EQ(joinStreamHeaders("http://h/a", {}), "http://h/a");
}

}  // namespace
}  // namespace zephra
