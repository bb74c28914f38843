// Guides made to exhaust the server: each is refused with its reason and the guide before it
// stays; a stop or a failure gives the disk back.
#include <gtest/gtest.h>

#include <ctime>

#include "local_server/guide/guide_import.h"
#include "tests/local_server/guide/guide_test_support.h"
#include "tests/support/gzip.h"
#include "tests/support/xmltv_time.h"

namespace zephra::guide::test {
namespace {

using zephra::test::gzipped;
using zephra::test::xmltvTime;

std::string soon(int minutes) { return xmltvTime(std::time(nullptr) + minutes * 60); }

// `count` programmes of one channel, a minute each from now on.
std::string manyProgrammes(int count, const std::string& title = "Show") {
  std::string body;
  for (int i = 0; i < count; ++i)
    body += programme("a", soon(i), soon(i + 1), title + std::to_string(i),
                      "<desc>" + std::string(40, 'd') + "</desc>");
  return tv(body);
}

std::string utf16le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

class GuideLimits : public ::testing::Test {
 protected:
  std::size_t stored() {
    Channel c;
    c.tvgId = "a";
    return m_store.airings({&c}, 0, INT64_MAX / 2)[0].size();
  }
  TempDir m_dir;
  GuideStore m_store{(m_dir / "guide.sqlite3").string()};
};

TEST_F(GuideLimits, HostileGuidesAreRefusedWithTheirReasonAndTheOldGuideKept) {
  std::string attributes, bigTag(100 * 1024, 'x');
  for (int i = 0; i < 300; ++i) attributes += " a" + std::to_string(i) + "=\"\"";
  const std::string bomb = gzipped(tv("<!--" + std::string(4 << 20, ' ') + "-->"));
  ASSERT_LT(bomb.size(), 10000u);
  std::atomic<bool> stopped{true};
  const struct {
    const char* what;
    std::string file;
    const char* reason;
    ImportLimits limits;
  } cases[] = {
      {"gzip bomb", bomb, "larger than 1 MiB once unpacked", {{1 << 20}}},
      {"plain, too large", manyProgrammes(20000), "larger than 1 MiB", {{1 << 20}}},
      {"entity declaration",
       "<!DOCTYPE tv [<!ENTITY e \"x\">]><tv><programme channel=\"a\" start=\"2026\" "
       "title=\"&e;&e;\"/></tv>",
       "declares entities", {}},
      {"entity declaration in UTF-16", utf16le("<!DOCTYPE tv [<!ENTITY e \"x\">]><tv/>"),
       "declares entities", {}},
      {"many attributes", tv("<programme" + attributes + "/>"), "more than 256 attributes", {}},
      {"huge start tag", tv("<programme channel=\"" + bigTag + "\"/>"), "longer than 64 KiB", {}},
      {"markup hidden in UTF-7",
       "<?xml version=\"1.0\" encoding=\"UTF-7\"?>+ADw-tv+AD4-+ADw-/tv+AD4-", "encoding \"UTF-7\"", {}},
      {"dashes in a comment", tv("<!--" + std::string(4096, '-') + "-->"), "inside a comment", {}},
      {"no markup at all", "\x4C\x6F\xA7\x94", "does not begin with XML markup", {}},
      {"too many programmes", manyProgrammes(3), "more than 2 programmes", {{}, 256 << 20, 2}},
      {"past its deadline", manyProgrammes(2000), "took longer than", {{4ull << 30, 65536, 256, {}}}},
      {"server stopping", manyProgrammes(3), "the server is stopping",
       {{4ull << 30, 65536, 256, std::chrono::minutes(1), &stopped}}},
      {"disk too full", manyProgrammes(3), "not enough free disk space", {{}, UINT64_MAX / 4}},
  };
  importGuideFile(m_store, "p", writeFile(m_dir / "good.xml", manyProgrammes(5, "Kept")));
  ASSERT_EQ(stored(), 5u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      importGuideFile(m_store, "p", writeFile(m_dir / "hostile", c.file), c.limits);
      ADD_FAILURE() << "imported";
    } catch (const GuideError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(stored(), 5u);
  }
}

// What the guard must let through: markup characters inside comments, CDATA, values and
// document type names; UTF-16; gzip in several members; one character of a kind per piece.
TEST_F(GuideLimits, LegalGuidesPassTheGuard) {
  const std::string show = programme("a", soon(1), soon(2), "T[x]=&lt;y&gt;&amp;",
                                     "<desc><![CDATA[ <!DOCTYPE x [ ]]></desc>");
  const std::string cases[] = {
      "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
      "<!DOCTYPE tv SYSTEM \"xmltv[1].dtd\">\n<!-- <!DOCTYPE tv [ <!ENTITY e 'x'> ]> -->"
      "<?style a=\"[\"?><tv a=\"x=y\" b='>'>" + show + "</tv>",
      "\xEF\xBB\xBF" + tv(show),
      utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?><tv>" + show + "</tv>"),
      gzipped(tv(show + std::string(300000, ' ') + show), 2),
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    EXPECT_EQ(importGuideFile(m_store, "p", writeFile(m_dir / "legal", text)).programmes, 1u);
  }
}

TEST_F(GuideLimits, StopFlagEndsAnImportMidWay) {
  const std::string text = manyProgrammes(5000);
  std::atomic<bool> stop{false};
  GuideReadLimits limits;
  limits.stop = &stop;
  XmltvReader reader = XmltvReader::openMemory(text.data(), text.size(), limits);
  std::size_t seen = 0;
  try {
    reader.read([](XmltvChannel&) {},
                [&](XmltvProgramme&) {
                  ++seen;
                  stop = true;
                });
    ADD_FAILURE() << "read to the end";
  } catch (const GuideError& e) {
    EXPECT_NE(std::string(e.what()).find("stopping"), std::string::npos) << e.what();
  }
  EXPECT_GT(seen, 0u);
  EXPECT_LT(seen, 500u);
}

TEST_F(GuideLimits, AnImportLeavesNoBigJournal) {
  const fs::path journal = m_dir / "guide.sqlite3-wal";
  importGuideFile(m_store, "p", writeFile(m_dir / "good.xml", manyProgrammes(20000)));
  EXPECT_LT(fs::file_size(journal), 1u << 20);
  const std::string broken = manyProgrammes(20000);
  EXPECT_THROW(importGuideFile(m_store, "p", writeFile(m_dir / "broken.xml",
                                                       broken.substr(0, broken.size() - 20))),
               GuideError);
  EXPECT_LT(fs::file_size(journal), 1u << 20);
  EXPECT_EQ(stored(), 20000u);
}

}  // namespace
}  // namespace zephra::guide::test
