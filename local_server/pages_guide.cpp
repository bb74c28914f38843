// The programme guide as pages: the now/next line of the directory and the guide grid. Times are
// shown in this computer's time zone (the server runs beside the player).
#include <ctime>

#include <algorithm>

#include "local_server/guide/xmltv_time.h"
#include "common/text.h"
#include "common/html/html.h"
#include "local_server/archive_address.h"
#include "local_server/pages.h"
#include "platform/calendar_time.h"

namespace zephra {

namespace {

constexpr std::int64_t kHalfHour = 1800;
constexpr int kPixelsPerMinute = 4;

// What one grid row may hold, so that a guide of very short programmes or long texts cannot make
// a page of hundreds of megabytes: the rest of a full row is a link to the grid from there on.
constexpr std::size_t kRowProgrammes = 48;
constexpr std::size_t kRowBytes = 32 * 1024;
// Texts of a programme in the grid; the guide keeps them whole.
constexpr std::size_t kShownTitle = 160, kShownField = 120, kShownDescription = 600;

// `text` cut to at most `limit` bytes at a character boundary, marked by an ellipsis when cut.
std::string shortened(const std::string& text, std::size_t limit) {
  return text::clippedUtf8(text, limit, "\xE2\x80\xA6");
}

std::tm localTime(std::int64_t utc) {
  return localCalendarTime(utc).value_or(std::tm{});
}

std::string format(std::int64_t utc, const char* pattern) {
  const std::tm tm = localTime(utc);
  char text[64];
  return std::strftime(text, sizeof text, pattern, &tm) ? text : "";
}

// The same local time of day `days` later (daylight-saving changes included).
std::int64_t sameTimeOnDay(std::int64_t utc, int days) {
  std::tm tm = localTime(utc);
  tm.tm_mday += days;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(mktime(&tm));
}

// Local calendar day number, for telling how many days apart two times are.
int localDay(std::int64_t utc) {
  const std::tm tm = localTime(utc);
  return static_cast<int>(guide::daysFromCivil(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1),
                                               static_cast<unsigned>(tm.tm_mday)));
}

// "HH:MM", written by hand: a directory page needs one per row.
std::string clock(std::int64_t utc) {
  const std::tm tm = localTime(utc);
  const char text[] = {static_cast<char>('0' + tm.tm_hour / 10), static_cast<char>('0' + tm.tm_hour % 10),
                       ':', static_cast<char>('0' + tm.tm_min / 10),
                       static_cast<char>('0' + tm.tm_min % 10)};
  return std::string(text, sizeof text);
}

// `record`: the address that schedules this programme's recording, "" when none is offered.
void renderDetails(std::string& out, const guide::Airing& a, const std::string& record) {
  out += "<span class=\"info\"><strong>" + text::escapeHtml(shortened(a.title, kShownTitle)) +
         "</strong>";
  out += "<span class=\"when\">" + format(a.start, "%a %d %b %H:%M") + " \xE2\x80\x93 " +
         clock(a.stop) + "</span>";
  if (!a.subTitle.empty())
    out += "<span class=\"sub\">" + text::escapeHtml(shortened(a.subTitle, kShownField)) + "</span>";
  if (!a.episode.empty() || !a.category.empty()) {
    out += "<span class=\"meta\">" + text::escapeHtml(shortened(a.episode, kShownField));
    if (!a.episode.empty() && !a.category.empty()) out += " \xC2\xB7 ";
    out += text::escapeHtml(shortened(a.category, kShownField)) + "</span>";
  }
  if (!a.description.empty())
    out += "<span class=\"desc\">" + text::escapeHtml(shortened(a.description, kShownDescription)) +
           "</span>";
  if (!record.empty())
    out += "<a class=\"rec\" href=\"" + text::escapeHtml(record) + "\">\xE2\x97\x8F record</a>";
  out += "</span>";
}

}  // namespace

std::string archiveLink(const Channel& channel, const guide::Airing& airing, std::int64_t now) {
  const auto value = archivePlayValue(channel, airing.start, airing.stop, now);
  return value ? playLink(*value) : std::string();
}

void renderNowNext(std::string& out, const guide::NowNext& nowNext, std::int64_t now,
                   const Channel* channel) {
  if (!nowNext.now && !nowNext.next) return;
  out += "<span class=\"epg\">";
  if (const auto& a = nowNext.now) {
    const std::int64_t length = std::max<std::int64_t>(1, a->stop - a->start);
    const std::int64_t done = std::clamp<std::int64_t>((now - a->start) * 100 / length, 0, 100);
    out += "<span class=\"now\"><progress max=\"100\" value=\"";
    out += std::to_string(done);
    out += "\"></progress>";
    out += text::escapeHtml(a->title);
    const std::string startOver = channel ? archiveLink(*channel, *a, now) : std::string();
    if (!startOver.empty())
      out += " <a class=\"archive startover\" href=\"" + text::escapeHtml(startOver) + "\">start over</a>";
    out += "</span>";
  }
  if (const auto& a = nowNext.next) {
    out += "<span class=\"next\"><time>";
    out += clock(a->start);
    out += "</time> ";
    out += text::escapeHtml(a->title);
    out += "</span>";
  }
  out += "</span>";
}

std::string guideAddress(const GuideRequest& request) {
  std::string address = "guide.php?code=" + text::percentEncoded(request.code) +
                        "&fav=" + (request.favoritesOnly ? "1" : "0");
  if (request.start != 0) address += "&t=" + std::to_string(request.start);
  if (request.page > 1) address += "&page=" + std::to_string(request.page);
  return address;
}

std::string renderGuide(const GuideRequest& request, const std::vector<const Channel*>& channels,
                        const std::vector<std::vector<guide::Airing>>& airings, std::size_t total,
                        std::size_t pageSize, std::int64_t now, const std::string& formToken) {
  const std::int64_t from = request.start, to = from + kGuideHours * 3600;
  std::string out = html::pageStart("Programme guide");
  out.reserve(channels.size() * 1500 + 8192);
  out += "<header><h1>Programme guide</h1>";
  DirectoryRequest directory;
  directory.code = request.code;
  directory.favoritesOnly = request.favoritesOnly;
  out += "<a class=\"manage\" href=\"" + text::escapeHtml(directoryAddress(directory)) +
         "\">Channel list</a><a class=\"manage\" href=\"" + text::escapeHtml(recordingsAddress(request.code)) +
         "\">Recordings</a></header>\n";

  auto link = [&](GuideRequest target, const std::string& label, const char* cls = "") {
    out += "<a class=\"" + std::string(cls) + "\" href=\"" + text::escapeHtml(guideAddress(target)) +
           "\">" + label + "</a>";
  };
  out += "<nav class=\"when\">";
  GuideRequest shifted = request;
  shifted.start = sameTimeOnDay(from, -1);
  link(shifted, "\xC2\xAB day");
  shifted.start = from - 3 * 3600;
  link(shifted, "\xE2\x80\xB9 earlier");
  GuideRequest current = request;
  current.start = 0;
  link(current, "now", "nowlink");
  shifted.start = from + 3 * 3600;
  link(shifted, "later \xE2\x80\xBA");
  shifted.start = sameTimeOnDay(from, 1);
  link(shifted, "day \xC2\xBB");
  // The coming week by day, at the same time of day.
  const int shownDay = localDay(from) - localDay(now);
  for (int day = 0; day < 7; ++day) {
    shifted.start = sameTimeOnDay(from, day - shownDay);
    link(shifted, format(shifted.start, "%a %d"), day == shownDay ? "day current" : "day");
  }
  GuideRequest favorites = request;
  favorites.favoritesOnly = !request.favoritesOnly;
  favorites.page = 1;
  link(favorites, request.favoritesOnly ? "all channels" : "favorites only", "favtoggle");
  out += "</nav>\n";
  out += "<p class=\"count\">" + format(from, "%A %d %B, %H:%M") + " \xE2\x80\x93 " +
         clock(to) + "</p>\n";
  if (channels.empty())
    out += "<p class=\"empty\">" +
           std::string(request.favoritesOnly ? "No favorites yet." : "No channels.") + "</p>\n";

  const int width = kGuideHours * 60 * kPixelsPerMinute;
  out += "<div class=\"grid\" style=\"--track:" + std::to_string(width) + "px\">\n";
  out += "<div class=\"row times\"><span class=\"cname\"></span><span class=\"track\">";
  for (std::int64_t mark = from; mark < to; mark += kHalfHour)
    out += "<span class=\"mark\" style=\"left:" + std::to_string((mark - from) / 60 * kPixelsPerMinute) +
           "px\">" + clock(mark) + "</span>";
  out += "</span></div>\n";
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const Channel& c = *channels[i];
    out += "<div class=\"row\"><a class=\"play cname\" href=\"" + text::escapeHtml(playLink(c.url)) +
           "\">" + text::escapeHtml(c.name) + "</a><span class=\"track\">";
    if (i < airings.size()) {
      std::size_t shown = 0, rowBytes = 0;
      std::string item;
      for (std::size_t k = 0; k < airings[i].size(); ++k) {
        const guide::Airing& a = airings[i][k];
        const std::int64_t left = std::max(a.start, from), right = std::min(a.stop, to);
        if (right <= left) continue;
        // Begun programmes the archive has are links that play them from their start; the
        // others show their details only.
        const bool onAir = a.start <= now && now < a.stop;
        const std::string archive = a.start <= now ? archiveLink(c, a, now) : std::string();
        item = archive.empty() ? "<button type=\"button\" class=\"prog" : "<a class=\"prog archive";
        if (onAir) item += " onair";
        item += "\"";
        if (!archive.empty()) item += " href=\"" + text::escapeHtml(archive) + "\"";
        item += " style=\"left:" + std::to_string((left - from) / 60 * kPixelsPerMinute) +
                "px;width:" + std::to_string(std::max<std::int64_t>(1, (right - left) / 60) *
                                                 kPixelsPerMinute) +
                "px\"><span class=\"t\">" + clock(a.start) + " " +
                text::escapeHtml(shortened(a.title, kShownTitle)) + "</span>";
        if (onAir && !archive.empty()) item += "<span class=\"startover\">start over</span>";
        // No record link inside an archive link: links cannot nest.
        const bool recordable = !formToken.empty() && a.stop > now && archive.empty();
        renderDetails(item, a, recordable ? recordAddress(request.code, c.id, a.start, formToken) : std::string());
        item += archive.empty() ? "</button>" : "</a>";
        if (shown == kRowProgrammes || rowBytes + item.size() > kRowBytes) {
          // The row is full: the rest is on the grid that starts at the first one left out.
          GuideRequest later = request;
          later.start = std::max(from + kHalfHour, left - left % kHalfHour);
          out += "<a class=\"more\" href=\"" + text::escapeHtml(guideAddress(later)) +
                 "\" style=\"left:" + std::to_string((left - from) / 60 * kPixelsPerMinute) +
                 "px\">+" + std::to_string(airings[i].size() - k) + " more</a>";
          break;
        }
        out += item;
        rowBytes += item.size();
        ++shown;
      }
    }
    out += "</span></div>\n";
  }
  // Spans the rows as drawn: a line reaching below them would let the grid scroll up and down
  // inside itself, and showing a channel there would push the time ruler out of sight.
  if (now >= from && now < to)
    out += "<span class=\"nowline\" style=\"--at:" +
           std::to_string((now - from) / 60 * kPixelsPerMinute) + "px\"></span>";
  out += "</div>\n<div id=\"details\" class=\"details\" hidden></div>\n";

  const std::size_t pages = std::max<std::size_t>(1, (total + pageSize - 1) / pageSize);
  if (pages > 1) {
    out += "<nav class=\"pager\">";
    GuideRequest target = request;
    if (request.page > 1) {
      target.page = request.page - 1;
      link(target, "\xE2\x80\xB9 previous channels");
    }
    out += "<span class=\"where\">page " + std::to_string(request.page) + " of " +
           std::to_string(pages) + "</span>";
    if (request.page < pages) {
      target.page = request.page + 1;
      link(target, "next channels \xE2\x80\xBA");
    }
    out += "</nav>\n";
  }
  out += html::pageEnd();
  return out;
}

}  // namespace zephra
