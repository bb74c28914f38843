// Recording names and the recordings folder against the names playlists, guides and a user's
// own settings file really bring.
#include "common/recording/recording_file.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <fstream>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace zephra {
namespace {

using namespace std::string_literals;

std::string repeated(const std::string& piece, int times) {
  std::string out;
  while (times-- > 0) out += piece;
  return out;
}

TEST(RecordingFileNames, HostileNamesStayOneVisibleFileInTheFolder) {
  struct Case {
    std::string name;
    std::string part;
  };
  const std::string tenKilobytes(10 * 1024, 'x');
  for (const Case& c : {
           Case{"BBC One HD", "BBC One HD"},
           Case{"Das Erste", "Das Erste"},
           Case{"Телеканал Россия", "Телеканал Россия"},
           Case{"../../etc/passwd", "_.._etc_passwd"},
           Case{"..", "Recording"},
           Case{".hidden", "hidden"},
           Case{" . . ", "Recording"},
           Case{"", "Recording"},
           Case{"a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
           Case{"line\nbreak\r\ttab\x7f", "line_break__tab_"},
           Case{"C1 \xc2\x85 next line", "C1 _ next line"},
           Case{"Latin-1 caf\xe9", "Latin-1 caf_"},
           Case{"bad \xc0\xaf overlong", "bad __ overlong"},
           Case{"evil\xe2\x80\xaests.exe", "evil_sts.exe"},
           Case{"nul"s + '\0' + "byte", "nul_byte"},
           Case{"trailing dot.", "trailing dot"},
           Case{tenKilobytes, std::string(kNamePartLimit, 'x')},
           // Cut between characters: 40 two-byte letters fill the limit, the 41st does not fit.
           Case{repeated("\xc3\xa9", 41), repeated("\xc3\xa9", 40)},
       })
    EXPECT_EQ(fileNamePart(c.name), c.part) << c.name.substr(0, 40);
}

TEST(RecordingFileNames, ChannelStartAndTitle) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const std::time_t start = 1765270800;  // 2025-12-09 09:00 UTC
  EXPECT_EQ(recordingFileName("News 24", start), "News 24 2025-12-09 09-00.ts");
  EXPECT_EQ(recordingFileName("News 24", start, "  "), "News 24 2025-12-09 09-00.ts");
  EXPECT_EQ(recordingFileName("../x", start + 59, "Evening/News"), "_x 2025-12-09 09-00 Evening_News.ts");
  const std::string longest = recordingFileName(std::string(10000, 'c'), start, std::string(10000, 't'));
  EXPECT_LT(longest.size() + kPartialSuffix.size(), 255u);  // what Linux file systems take
  EXPECT_EQ(partialRecordingPath("/v/a b.ts"), "/v/a b.ts.part");
}

TEST(RecordingsFolder, ReadFromUserDirs) {
  const std::filesystem::path home = "/home/u";
  struct Case {
    std::string content;
    std::optional<std::filesystem::path> folder;
  };
  for (const Case& c : {
           Case{"XDG_VIDEOS_DIR=\"$HOME/Videos\"\n", home / "Videos"},
           Case{"# comment\nXDG_MUSIC_DIR=\"$HOME/M\"\n  XDG_VIDEOS_DIR = \"$HOME/Vidéos\"\r\n", home / "Vidéos"},
           Case{"XDG_VIDEOS_DIR=\"/srv/tv\"", std::filesystem::path("/srv/tv")},
           Case{"XDG_VIDEOS_DIR=\"$HOME/My \\\"Films\\\"\"\n", home / "My \"Films\""},
           Case{"XDG_VIDEOS_DIR=\"$HOME/a\"\nXDG_VIDEOS_DIR=\"$HOME/b\"\n", home / "b"},
           Case{"XDG_VIDEOS_DIR=\"$HOME/\"\n", std::nullopt},  // turned off
           Case{"XDG_VIDEOS_DIR=\"$HOME\"\n", std::nullopt},
           Case{"XDG_VIDEOS_DIR=\"/home/u\"\n", std::nullopt},
           Case{"XDG_VIDEOS_DIR=\"/\"\n", std::nullopt},
           Case{"XDG_VIDEOS_DIR=\"Videos\"\n", std::nullopt},          // relative
           Case{"XDG_VIDEOS_DIR=\"$HOMEWORK/x\"\n", std::nullopt},
           Case{"XDG_VIDEOS_DIR=\"$HOME/unclosed\n", std::nullopt},
           Case{"XDG_VIDEOS_DIR=$HOME/unquoted\n", std::nullopt},
           Case{"XDG_VIDEOS_DIR=\"$HOME/a"s + '\0' + "b\"\n", std::nullopt},
           Case{"#XDG_VIDEOS_DIR=\"$HOME/x\"\n", std::nullopt},
           Case{"XDG_VIDEOS_DIRS=\"$HOME/x\"\n", std::nullopt},
           Case{"XDG_VIDEOS_DIR=\"\\", std::nullopt},
           Case{"", std::nullopt},
       })
    EXPECT_EQ(videosFolderFromUserDirs(c.content, home), c.folder) << c.content;
}

TEST(RecordingsFolder, FromTheEnvironmentAndTheFile) {
  const test::TempDir dir;
  ::setenv("HOME", dir.path().c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (dir / "cfg").c_str(), 1);
  EXPECT_EQ(recordingsFolder(), dir / "Videos" / "Zephra Player");  // no file
  std::filesystem::create_directories(dir / "cfg");
  std::ofstream(dir / "cfg" / "user-dirs.dirs") << "XDG_VIDEOS_DIR=\"$HOME/Clips\"\n";
  EXPECT_EQ(recordingsFolder(), dir / "Clips" / "Zephra Player");
  std::ofstream(dir / "cfg" / "user-dirs.dirs") << std::string(kUserDirsLimit, '#') << "\nXDG_VIDEOS_DIR=\"/x\"\n";
  EXPECT_EQ(recordingsFolder(), dir / "Videos" / "Zephra Player");  // too large to be one
  ::setenv("HOME", "relative", 1);
  EXPECT_EQ(recordingsFolder(), std::filesystem::path());
}

}  // namespace
}  // namespace zephra
