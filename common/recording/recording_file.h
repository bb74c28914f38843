// Where recordings go and what they are called. Channel names and programme titles come from
// playlists and guides, and the user-dirs.dirs file is the user's: all of it is outside input,
// so a name can never leave the recordings folder, hide itself or break the file system's rules.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zephra {

// The folder recordings are written to: "Zephra Player" in the user's videos folder, which is
// XDG_VIDEOS_DIR of $XDG_CONFIG_HOME/user-dirs.dirs (~/.config/user-dirs.dirs), else ~/Videos.
// Not created here. Empty when not even $HOME is known.
std::filesystem::path recordingsFolder();

// "CHANNEL YYYY-MM-DD HH-MM.ts", the start in local time; with a title,
// "CHANNEL YYYY-MM-DD HH-MM TITLE.ts". Both parts pass through fileNamePart().
std::string recordingFileName(const std::string& channel, std::time_t start);
std::string recordingFileName(const std::string& channel, std::time_t start, const std::string& title);

// The name a recording is written under until it ends, beside its finished name, so the folder
// never shows half a file as finished.
std::filesystem::path partialRecordingPath(const std::filesystem::path& finished);
inline constexpr std::string_view kPartialSuffix = ".part";

// `name` made fit to be part of a file name on any system: path separators, characters Windows
// refuses, control characters and bytes that are not UTF-8 become "_"; blanks and dots at either
// end go (no hidden file, no ".."); at most kNamePartLimit bytes, cut between characters.
// "Recording" when nothing is left.
std::string fileNamePart(std::string_view name);
inline constexpr std::size_t kNamePartLimit = 80;

// The videos folder that the text of a user-dirs.dirs file names ("$HOME/..." or an absolute
// path, in double quotes, with backslash escapes); none when it names none, names a relative
// path, or names the home folder itself (which means the folder is turned off).
std::optional<std::filesystem::path> videosFolderFromUserDirs(std::string_view content,
                                                             const std::filesystem::path& home);

// user-dirs.dirs is a few lines; a larger file is not read.
inline constexpr std::size_t kUserDirsLimit = 64 * 1024;

}  // namespace zephra
