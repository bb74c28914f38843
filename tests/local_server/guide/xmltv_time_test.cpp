#include <gtest/gtest.h>

#include "local_server/guide/xmltv_time.h"

namespace zephra::guide {
namespace {

// 2026-12-08 18:00:00 UTC and 2001-08-29 00:05:00 UTC.
constexpr std::int64_t kDecember = 1796752800;
constexpr std::int64_t kAugust = 999043500;

TEST(XmltvTime, OffsetsNamesAndPartialTimes) {
  const struct {
    const char* text;
    std::optional<std::int64_t> expected;
  } cases[] = {
      {"20261208190000 +0100", kDecember},
      {"20261208190000+0100", kDecember},
      {"20261208180000", kDecember},           // no zone: UTC
      {"20261208180000 UTC", kDecember},
      {"20261208130000 -0500", kDecember},
      {"20261208233000 +05:30", kDecember},
      {"20261208200000 +02", kDecember},
      {"202612081800", kDecember},
      {"20010829010500 BST", kAugust},         // summer time names carry their own offset
      {"20010829020500 CEST", kAugust},
      {"20010828200500 EDT", kAugust},
      {"2026", 1767225600},
      {"202602", 1769904000},
      {"20240229120000", 1709208000},          // a leap day
      {"19700101000000 +0000", 0},
      // Either side of the European change to summer time: the offset in the text decides.
      {"20260329015959 +0100", 1774745999},
      {"20260329030000 +0200", 1774746000},
      {"20230229120000", std::nullopt},        // no such day
      {"20261308190000", std::nullopt},
      {"20261208250000", std::nullopt},
      {"20261208190000 +2500", std::nullopt},
      {"20261208190000 XYZ", std::nullopt},    // unknown zone: refused, never guessed
      {"20261208190000 +0100 junk", std::nullopt},
      {"2026120819", 1796756400},
      {"202612081", std::nullopt},             // half a field
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parseXmltvTime(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace zephra::guide
