#include "local_server/playlist/channel_id.h"

#include <gtest/gtest.h>

namespace zephra {
namespace {

// Favorites are stored by id, so these values must never change between versions or machines.
TEST(ChannelIdTest, MatchesPublishedFnv1aValues) {
  EXPECT_EQ(channelIdFromHash(0xcbf29ce484222325ULL), "cbf29ce484222325");
  EXPECT_EQ(channelId("http://127.0.0.1:8480/demo/testsrc.ts", "Test Card"), "0461eb00eca067c9");
  EXPECT_EQ(channelId("http://example.com/\xC3\xBC.m3u8", "Kanal \xC3\x9C"), "b0d17c88b3903f70");
}

TEST(ChannelIdTest, IsSixteenLowercaseHexDigitsEvenWithLeadingZeros) {
  EXPECT_EQ(channelIdFromHash(0x1ULL), "0000000000000001");
  EXPECT_EQ(channelIdFromHash(0xABCDEF0000000000ULL), "abcdef0000000000");
}

TEST(ChannelIdTest, SeparatorKeepsUrlAndNameApart) {
  EXPECT_NE(channelId("http://a/b", "c"), channelId("http://a/", "bc"));
  EXPECT_NE(channelId("u", "n"), channelId("n", "u"));
}

}  // namespace
}  // namespace zephra
