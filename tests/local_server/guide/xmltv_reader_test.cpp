#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "local_server/guide/xmltv_reader.h"
#include "tests/local_server/guide/guide_test_support.h"

namespace zephra::guide::test {
namespace {

struct Read {
  std::vector<XmltvChannel> channels;
  std::vector<XmltvProgramme> programmes;
  std::size_t skipped = 0;
};

Read readFile(const std::string& path) {
  Read out;
  XmltvReader reader = XmltvReader::openFile(path);
  reader.read([&](XmltvChannel& c) { out.channels.push_back(c); },
              [&](XmltvProgramme& p) { out.programmes.push_back(p); });
  out.skipped = reader.skippedProgrammes();
  return out;
}

Read readText(const std::string& text) {
  Read out;
  XmltvReader reader = XmltvReader::openMemory(text.data(), text.size());
  reader.read([&](XmltvChannel& c) { out.channels.push_back(c); },
              [&](XmltvProgramme& p) { out.programmes.push_back(p); });
  out.skipped = reader.skippedProgrammes();
  return out;
}

// Every guide of the format's own test data, against the counts its README lists.
TEST(XmltvReader, ReadsEveryGuideOfTheFormatsTestData) {
  const fs::path folder = ZEPHRA_XMLTV_TESTDATA;
  std::ifstream readme(folder / "README.md");
  if (!readme) GTEST_SKIP() << "no XMLTV test data at " << folder;
  const std::regex row(R"(^\| (\S+\.xml) \| [\d,]+ \| (\d+) \| (\d+) \|)");
  std::string line;
  int files = 0;
  while (std::getline(readme, line)) {
    std::smatch m;
    if (!std::regex_search(line, m, row)) continue;
    SCOPED_TRACE(m[1].str());
    ++files;
    Read read;
    ASSERT_NO_THROW(read = readFile((folder / m[1].str()).string()));
    EXPECT_EQ(read.channels.size(), std::stoul(m[2].str()));
    EXPECT_EQ(read.programmes.size() + read.skipped, std::stoul(m[3].str()));
    for (const XmltvProgramme& p : read.programmes) {
      EXPECT_FALSE(p.title.empty());
      EXPECT_FALSE(p.channel.empty());
      if (p.stop) {
        EXPECT_GT(*p.stop, p.start);
      }
    }
  }
  EXPECT_GE(files, 15);
}

TEST(XmltvReader, FieldsOfAFullProgramme) {
  const fs::path folder = ZEPHRA_XMLTV_TESTDATA;
  if (!fs::exists(folder / "test.xml")) GTEST_SKIP() << "no XMLTV test data";
  const Read read = readFile((folder / "test.xml").string());
  ASSERT_EQ(read.channels.size(), 2u);
  EXPECT_EQ(read.channels[1].id, "das-erste.de");
  EXPECT_EQ(read.channels[1].displayNames, (std::vector<std::string>{"ARD", "Das Erste"}));
  ASSERT_EQ(read.programmes.size(), 1u);
  const XmltvProgramme& p = read.programmes[0];
  EXPECT_EQ(p.channel, "3sat.de");
  EXPECT_EQ(p.start, 960049980);  // 2000-06-03 16:33 UTC: no zone given
  EXPECT_FALSE(p.stop);
  EXPECT_EQ(p.title, "blah");
  EXPECT_EQ(p.description, "Blah Blah Blah.");
  EXPECT_EQ(p.category, "Comedy");
  EXPECT_EQ(p.icon, "http://image.example.com/dgXPhzNJH8H.jpg");
  EXPECT_EQ(p.episode, "S3 E10");  // xmltv_ns counts from zero

  const Read amp = readFile((folder / "amp.xml").string());
  ASSERT_EQ(amp.programmes.size(), 2u);
  EXPECT_EQ(amp.programmes[0].title, "Ampersand Land");
  EXPECT_EQ(amp.programmes[0].description, "& hello && there &amp; everyone < &< <amp;");
}

TEST(XmltvReader, EpisodeAndTextRules) {
  const Read read = readText(tv(
      programme("a", "20260101000000", "", "  Two\n   lines\t here ",
                "<episode-num system=\"xmltv_ns\">0.4.</episode-num>"
                "<episode-num system=\"onscreen\">S01E05</episode-num>") +
      programme("a", "20260101010000", "20260101003000", "Stop before start") +
      programme("a", "20260101020000", "", "Season only",
                "<episode-num system=\"xmltv_ns\">3..</episode-num>") +
      programme("a", "nonsense", "", "Bad start") + programme("", "20260101030000", "", "No channel") +
      programme("a", "20260101040000", "", "") +
      programme("a", "20260101050000", "", std::string(5000, 'x'))));
  ASSERT_EQ(read.programmes.size(), 4u);
  EXPECT_EQ(read.skipped, 3u);
  EXPECT_EQ(read.programmes[0].title, "Two lines here");
  EXPECT_EQ(read.programmes[0].episode, "S01E05");  // what the screen shows wins
  EXPECT_FALSE(read.programmes[1].stop);
  EXPECT_EQ(read.programmes[2].episode, "S4");
  EXPECT_EQ(read.programmes[3].title.size(), XmltvReader::kMaxTitle);
}

// Broken, truncated, foreign and hostile documents: a clear error, or content that stays text.
TEST(XmltvReader, HostileAndBrokenDocuments) {
  const std::string good = tv(programme("a", "20260101000000", "", "Fine"));
  const struct {
    const char* what;
    std::string text;
    const char* error;  // part of the message; nullptr: must read
  } cases[] = {
      {"truncated", good.substr(0, good.size() / 2), "not a readable XMLTV guide"},
      {"empty", "", "not a"},
      {"html", "<html><body><p>Sign in</p></body></html>", "the document is <html>, not <tv>"},
      {"not xml", "#EXTM3U\n#EXTINF:-1,Channel\nhttp://x\n", "not a readable XMLTV guide"},
      {"mismatched tags", "<tv><programme channel=\"a\" start=\"2026\"><title>x</desc></programme></tv>",
       "not a readable XMLTV guide"},
      {"entity bomb",
       "<!DOCTYPE tv [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
       "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
       "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">]>"
       "<tv><programme channel=\"a\" start=\"2026\"><title>t&f;</title></programme></tv>",
       nullptr},
      {"external entity",
       "<!DOCTYPE tv [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
       "<tv><programme channel=\"a\" start=\"2026\"><title>t&x;</title></programme></tv>",
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.error) {
      try {
        readText(c.text);
        ADD_FAILURE() << "read without error";
      } catch (const GuideError& e) {
        EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
      }
    } else {
      Read read;
      try {
        read = readText(c.text);
      } catch (const GuideError&) {
        continue;  // refusing is as good as ignoring
      }
      for (const XmltvProgramme& p : read.programmes) {
        EXPECT_LE(p.title.size(), XmltvReader::kMaxTitle);
        EXPECT_EQ(p.title.find("root:"), std::string::npos);
      }
    }
  }
}

TEST(XmltvReader, MissingAndSpecialFilesAreRefused) {
  TempDir dir;
  EXPECT_THROW(XmltvReader::openFile((dir / "none.xml").string()), GuideError);
  EXPECT_THROW(XmltvReader::openFile((dir / "").string()), GuideError);  // a folder
}

}  // namespace
}  // namespace zephra::guide::test
