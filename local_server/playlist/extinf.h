// The fields of one "#EXTINF:<duration> key="value" ...,<name>" line.
#pragma once

#include <string_view>
#include <vector>

namespace zephra {

struct ExtInfFields {
  // Views into the text given to parseExtInf, trimmed of blanks, empty when absent.
  std::string_view name;
  std::string_view tvgId;
  std::string_view tvgName;
  std::string_view tvgShift;
  std::string_view logo;
  std::string_view group;
  std::string_view userAgent;  // user-agent or http-user-agent
  std::string_view referrer;   // http-referrer
  std::string_view catchupMode;        // catchup or catchup-type
  std::string_view catchupSource;      // catchup-source
  std::string_view catchupDays;        // catchup-days
  std::string_view archiveDays;        // the older timeshift or tvg-rec; catchup-days wins
  std::string_view catchupCorrection;  // catchup-correction (hours)
  bool hasNameSeparator = false;  // a ',' ended the attributes
  bool unclosedQuote = false;     // an attribute's quote never closed
};

// text is everything after "#EXTINF:". The name starts after the first comma outside a quoted
// value: user-agent values and titles carry commas ("(KHTML, like Gecko)"). A quote opens a value
// only right after '=', so apostrophes in unquoted values or names never swallow the separator.
// Keys are matched case-insensitively; unknown keys and tokens without '=' are ignored.
ExtInfFields parseExtInf(std::string_view text);

// text is everything after "#EXTM3U": the addresses its url-tvg and x-tvg-url attributes name, in
// order, each value split at commas. Views into text, trimmed; duplicates are kept.
std::vector<std::string_view> parseHeaderGuides(std::string_view text);

// text is everything after "#EXTM3U": its attributes, of which the catch-up ones are the default
// of every entry that names none.
ExtInfFields parseHeaderAttributes(std::string_view text);

}  // namespace zephra
