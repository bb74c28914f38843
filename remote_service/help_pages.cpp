// The online help shown in the player's Help window. Static text; the topic parameter only
// selects one of the fixed pages, it never enters a page.
#include <string>

#include "common/contract.h"
#include "remote_service/page_frame.h"
#include "remote_service/service_pages.h"

namespace zephra::service {

namespace {

struct HelpTopic {
  const char* name;
  const char* title;
  const char* body;
};

const HelpTopic kTopics[] = {
    {"views", "The two views",
     "<p>The main window shows one of two views in the same place. Switch with the two tabs "
     "above the picture, or with the menu.</p>\n"
     "<ul><li><b>Channels</b> shows the channel directory. Pick a group, search by name, and "
     "click a channel to play it.</li>\n"
     "<li><b>Player</b> plays the channel you clicked. Playing a channel switches to this view "
     "by itself.</li></ul>\n"
     "<p>The status bar at the bottom shows what the player is doing (opening, buffering, "
     "playing) and the outcome of adding a favorite.</p>\n"
     "<p><b>File &gt; Report</b> tells us about the channel you played last, for example when "
     "it no longer plays.</p>\n"},
    {"keys", "Buttons and keys",
     "<p>The control panel under the picture has play/pause, stop, mute, the volume bar and "
     "full screen. The same commands are in the <b>File</b> and <b>View</b> menus.</p>\n"
     "<table><tr><th>Key</th><th>While the Player view is shown</th></tr>\n"
     "<tr><td><kbd>Space</kbd></td><td>play / pause</td></tr>\n"
     "<tr><td><kbd>F</kbd> or <kbd>F11</kbd></td><td>full screen on and off</td></tr>\n"
     "<tr><td><kbd>Esc</kbd></td><td>leave full screen</td></tr>\n"
     "<tr><td><kbd>M</kbd></td><td>mute on and off</td></tr></table>\n"
     "<p>Moving the volume bar also ends muting.</p>\n"},
    {"favorites", "Favorites",
     "<p>Click <b>&#9734; add</b> beside a channel, or choose <b>Favorites &gt; Add to "
     "Favorites</b> while it plays, to keep it in your favorites.</p>\n"
     "<p>Tick <b>Show Favorite Only</b> to list only your favorites. <b>Favorites &gt; Organize "
     "Favorites</b> lets you play, move up or down, and remove them.</p>\n"
     "<p>Favorites belong to your account code and stay on this computer. A favorite whose "
     "channel left the channel list stays, marked as no longer in the list.</p>\n"},
    {"channels", "Your own channel list",
     "<p>The directory is built from an IPTV playlist (EXTM3U) in the program's folder: "
     "<code>lib/Program/www/localhost/channels.m3u</code>. Copy your own list over it; the "
     "directory shows it at its next page, without a restart.</p>\n"
     "<p>Each entry is an <code>#EXTINF</code> line followed by the stream address, for "
     "example:</p>\n"
     "<pre>#EXTM3U\n#EXTINF:-1 tvg-logo=\"http://example.com/news.png\" "
     "group-title=\"News\",News 24\nhttp://example.com/live/news24.m3u8</pre>\n"
     "<p>The group title becomes the group filter and the logo the channel's picture. UTF-8, "
     "Latin-1 and UTF-16 files are read; entries that cannot be used are skipped.</p>\n"},
    {"updates", "Updates",
     "<p>At every start the player asks whether new content (channel list, pages, pictures) is "
     "published. When there is, it asks <i>Do you want to download the new updates?</i></p>\n"
     "<p>Answer <b>Yes</b>, then press <b>Update Now</b> in the Updates window. The bar shows "
     "the download; once the package is in, it is installed and the window says so. The new "
     "channel list shows in the Channels view; <b>Close</b> returns to the player.</p>\n"
     "<p>A package that cannot be downloaded changes nothing: press <b>Update Now</b> again "
     "later. A package that is damaged or unsafe is refused and your current content stays as "
     "it was. Answering <b>No</b> asks again at the next start.</p>\n"},
};

}  // namespace

std::string renderHelp(const std::string& topic) {
  const HelpTopic* chosen = nullptr;
  for (const HelpTopic& t : kTopics)
    if (topic == t.name) chosen = &t;

  std::string out = pageStart(chosen ? std::string("Help: ") + chosen->title
                                     : std::string("Zephra Player Help"));
  out += "<nav><a href=\"" + std::string(contract::kHelpPage) + "\">Contents</a>";
  for (const HelpTopic& t : kTopics)
    out += "<a href=\"" + std::string(contract::kHelpPage) + "?topic=" + t.name + "\">" + t.title + "</a>";
  out += "</nav>\n";
  if (chosen) {
    out += std::string("<h1>") + chosen->title + "</h1>\n" + chosen->body;
  } else {
    out += "<h1>Zephra Player Help</h1>\n<p>Zephra Player shows a channel directory and plays "
           "the channel you pick. Choose a topic:</p>\n<ul>";
    for (const HelpTopic& t : kTopics)
      out += "<li><a href=\"" + std::string(contract::kHelpPage) + "?topic=" + t.name + "\">" + t.title +
             "</a></li>";
    out += "</ul>\n";
  }
  return out + pageEnd();
}

}  // namespace zephra::service
