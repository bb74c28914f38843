#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <set>
#include <ctime>
#include <thread>

#include "local_server/guide/guide_import.h"
#include "tests/local_server/guide/guide_test_support.h"

namespace zephra::guide::test {
namespace {

const std::int64_t kNow = static_cast<std::int64_t>(std::time(nullptr)) / 60 * 60;

// An XMLTV time `minutes` from now, written in the zone `offsetMinutes` east of UTC.
std::string at(std::int64_t minutes, int offsetMinutes = 0) {
  const std::time_t t = static_cast<std::time_t>(kNow + minutes * 60 + offsetMinutes * 60);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[40];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &tm);
  char zone[8];
  const int a = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  std::snprintf(zone, sizeof zone, "%c%02d%02d", offsetMinutes < 0 ? '-' : '+', a / 60, a % 60);
  return std::string(text) + " " + zone;
}

Channel channel(const std::string& name, const std::string& tvgId = "",
                const std::string& shift = "") {
  Channel c;
  c.name = name;
  c.tvgId = tvgId;
  c.tvgShift = shift;
  return c;
}

std::string nowTitle(const NowNext& n) { return n.now ? n.now->title : "-"; }
std::string nextTitle(const NowNext& n) { return n.next ? n.next->title : "-"; }

class GuideImport : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& text) {
    return writeFile(m_dir / name, text);
  }
  std::vector<NowNext> lookup(const std::vector<Channel>& channels, std::int64_t when = kNow) {
    std::vector<const Channel*> pointers;
    for (const Channel& c : channels) pointers.push_back(&c);
    return m_store.nowNext(pointers, when);
  }

  TempDir m_dir;
  GuideStore m_store{(m_dir / "guide.sqlite3").string()};
};

TEST_F(GuideImport, MatchingShiftsOverlapsAndMissingStops) {
  const std::string guide = tv(
      channelElement("news.example", "News  24") + channelElement("film.example", "Film Four") +
      "<channel id=\"sport.example\"><display-name>Sport</display-name></channel>\n" +
      programme("news.example", at(-30, 60), at(30, 60), "Morning News") +
      programme("news.example", at(30), at(90), "Weather") +
      programme("news.example", at(30), at(60), "Duplicate start") +
      // No stop times: each runs until the next one; the last gets an hour.
      programme("film.example", at(-20), "", "Film A") + programme("film.example", at(10), "", "Film B") +
      // An overlap: the later start is what is on now.
      programme("sport.example", at(-60), at(60), "Long Match") +
      programme("sport.example", at(-10), at(20), "Interview") +
      programme("sport.example", at(100), at(120), "Late") +
      programme("gone.example", at(-900), at(-800), "Long over"));
  const ImportResult result = importGuideFile(m_store, "p", write("g.xml", guide));
  EXPECT_EQ(result.channels, 3u);  // the one with nothing left to show is not kept
  EXPECT_EQ(result.programmes, 7u);  // the duplicate and the long over one are not stored

  const std::vector<Channel> channels = {
      channel("Anything", "news.example"),
      channel("news 24"),                       // by name: case and spacing folded
      channel("FILMFOUR", "unknown.example"),   // an id that matches nothing falls back to the name
      channel("Sport", "", "+1"),               // tvg-shift: one hour later than the guide says
      channel("No Guide", "none.example"),
  };
  const auto found = lookup(channels);
  const struct {
    const char* now;
    const char* next;
  } expected[] = {{"Morning News", "Weather"},
                  {"Morning News", "Weather"},
                  {"Film A", "Film B"},
                  {"Long Match", "Interview"},  // an hour ago by the guide's clock
                  {"-", "-"}};
  for (std::size_t i = 0; i < channels.size(); ++i) {
    SCOPED_TRACE(channels[i].name);
    EXPECT_EQ(nowTitle(found[i]), expected[i].now);
    EXPECT_EQ(nextTitle(found[i]), expected[i].next);
  }
  EXPECT_EQ(found[0].now->start, kNow - 30 * 60);  // "+0100" read as such
  EXPECT_EQ(found[2].now->stop, kNow + 10 * 60);
  EXPECT_EQ(found[3].now->start, kNow);  // shifted
  EXPECT_EQ(lookup({channel("Film Four")}, kNow + 30 * 60)[0].now->stop, kNow + 70 * 60);
  EXPECT_EQ(nowTitle(lookup({channel("x", "sport.example")}, kNow)[0]), "Interview");
}

// Many programmes on air at once, and programmes sharing a start: the one begun last is on, the
// next is the first to begin later, and nothing the guide gave a length disappears.
TEST_F(GuideImport, OverlapsAndProgrammesSharingAStart) {
  const std::string guide = tv(
      programme("stack", at(-240), at(240), "Marathon") + programme("stack", at(-120), at(120), "Block") +
      programme("stack", at(-60), at(60), "Hour") + programme("stack", at(-10), at(20), "Short") +
      programme("stack", at(30), at(45), "After") +
      // A zero-length marker before (and after) a real programme of the same start.
      programme("zero", at(-30), at(-30), "Marker") + programme("zero", at(-30), at(30), "Hour Long") +
      programme("zero", at(10), at(10), "Blip") + programme("zero", at(30), at(90), "Later") +
      programme("zero", at(30), at(30), "Marker Again") +
      // One without a stop (or with a stop before its start), then one with a length.
      programme("stopless", at(-20), "", "Unknown Length") +
      programme("stopless", at(-20), at(40), "Known Length") +
      programme("stopless", at(40), at(20), "Backwards") + programme("stopless", at(40), at(70), "Evening"));
  EXPECT_EQ(importGuideFile(m_store, "p", write("g.xml", guide)).programmes, 9u);

  const struct {
    const char* channel;
    std::int64_t minutes;
    const char* now;
    const char* next;
  } cases[] = {
      {"stack", 0, "Short", "After"},  {"stack", 25, "Hour", "After"},
      {"stack", 50, "Hour", "-"},      {"stack", 70, "Block", "-"},
      {"stack", -20, "Hour", "Short"}, {"zero", 0, "Hour Long", "Later"},
      {"zero", 30, "Later", "-"},      {"stopless", 0, "Known Length", "Evening"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.channel) + " at " + std::to_string(c.minutes));
    const NowNext found = lookup({channel("x", c.channel)}, kNow + c.minutes * 60)[0];
    EXPECT_EQ(nowTitle(found), c.now);
    EXPECT_EQ(nextTitle(found), c.next);
  }

  // The grid draws each programme as long as it is.
  const Channel zero = channel("x", "zero");
  const auto drawn = m_store.airings({&zero}, kNow - 3600, kNow + 7200)[0];
  std::vector<std::string> lengths;
  for (const Airing& a : drawn) lengths.push_back(a.title + " " + std::to_string((a.stop - a.start) / 60));
  EXPECT_EQ(lengths, (std::vector<std::string>{"Hour Long 60", "Later 60"}));
}

TEST_F(GuideImport, ABrokenOrForeignFileLeavesThePreviousGuide) {
  const std::string good = tv(programme("a", at(-10), at(50), "Kept"));
  importGuideFile(m_store, "p", write("good.xml", good));
  const std::string broken[] = {good.substr(0, good.size() - 12),
                                "<!DOCTYPE html><html><body>Not found</body></html>", ""};
  for (const std::string& text : broken) {
    EXPECT_THROW(importGuideFile(m_store, "p", write("bad.xml", text)), GuideError);
    EXPECT_EQ(nowTitle(lookup({channel("x", "a")})[0]), "Kept");
  }
  EXPECT_THROW(importGuideFile(m_store, "p", (m_dir / "missing.xml").string()), GuideError);
  EXPECT_EQ(nowTitle(lookup({channel("x", "a")})[0]), "Kept");

  // Another source is untouched by a refresh or removal of this one.
  importGuideFile(m_store, "q", write("q.xml", tv(programme("b", at(-10), at(50), "Other"))));
  importGuideFile(m_store, "p", write("new.xml", tv(programme("a", at(-5), at(50), "Fresh"))));
  EXPECT_EQ(nowTitle(lookup({channel("x", "a")})[0]), "Fresh");
  removeGuideSource(m_store, "p");
  EXPECT_EQ(nowTitle(lookup({channel("x", "a")})[0]), "-");
  EXPECT_EQ(nowTitle(lookup({channel("x", "b")})[0]), "Other");
}

TEST_F(GuideImport, GzipIsToldByItsContent) {
  const std::string text = tv(programme("z", at(-1), at(30), "Zipped"));
  const std::string path = (m_dir / "guide.dat").string();
  gzFile file = gzopen(path.c_str(), "wb");
  ASSERT_TRUE(file);
  gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
  gzclose(file);
  EXPECT_EQ(importGuideFile(m_store, "p", path).programmes, 1u);
  EXPECT_EQ(nowTitle(lookup({channel("x", "z")})[0]), "Zipped");
}

// Pages read while a refresh writes: every lookup sees the whole old guide or the whole new one.
TEST_F(GuideImport, ReadersNeverSeeHalfAGuide) {
  auto guide = [](const std::string& title) {
    std::string body;
    for (int c = 0; c < 50; ++c)
      for (int p = -2; p < 40; ++p)
        body += programme("c" + std::to_string(c), at(p * 30), at(p * 30 + 30),
                          title + " " + std::to_string(p));
    return tv(body);
  };
  const std::string first = write("1.xml", guide("Old")), second = write("2.xml", guide("New"));
  importGuideFile(m_store, "p", first);
  std::vector<Channel> channels;
  for (int c = 0; c < 50; ++c) channels.push_back(channel("x", "c" + std::to_string(c)));

  std::atomic<bool> done{false};
  std::atomic<int> mixed{0}, reads{0};
  std::thread reader([&] {
    while (!done) {
      std::set<std::string> seen;
      for (const NowNext& n : lookup(channels)) seen.insert(nowTitle(n));
      if (seen.size() != 1 || *seen.begin() == "-") ++mixed;
      ++reads;
    }
  });
  for (int i = 0; i < 6; ++i) importGuideFile(m_store, "p", i % 2 ? first : second);
  done = true;
  reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(mixed.load(), 0);
}

}  // namespace
}  // namespace zephra::guide::test
