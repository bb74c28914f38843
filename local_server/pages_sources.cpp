#include "common/contract.h"
#include "common/text.h"
#include "common/html/html.h"
#include "local_server/pages.h"
#include "local_server/request_guard.h"
#include "local_server/sources/provider/provider_address.h"

namespace zephra {

namespace {

std::string counted(std::int64_t count, SourceKind kind) {
  const char* noun = kind == SourceKind::Guide ? (count == 1 ? " programme" : " programmes")
                                               : (count == 1 ? " channel" : " channels");
  return std::to_string(count) + noun;
}

// "1,500,000"
std::string grouped(std::size_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string tooLong(std::size_t cut, std::size_t limit) {
  return "Only the first " + grouped(limit) + " channels are listed: " + grouped(cut) +
         (cut == 1 ? " more was" : " more were") + " left out.";
}

std::string stateOf(const Source& source, bool pending) {
  if (!source.enabled) return "Off.";
  if (pending) return "Refreshing\xE2\x80\xA6";
  if (source.lastAttempt == 0) return "Not read yet.";
  if (source.lastError.empty())
    return "Refreshed " + localDateTime(source.lastSuccess) + ": " +
           counted(source.lastCount, source.kind) + ".";
  std::string text = "Refresh of " + localDateTime(source.lastAttempt) + " failed: " +
                     source.lastError + ".";
  if (source.lastSuccess != 0)
    text += " Still in use: the copy of " + localDateTime(source.lastSuccess) + " (" +
            counted(source.lastCount, source.kind) + ").";
  return text;
}

std::string kindLabel(SourceKind kind) {
  switch (kind) {
    case SourceKind::Guide: return "Guide";
    case SourceKind::Account: return "Provider account";
    default: return "Playlist";
  }
}

// Where an account is: its server and user; the password only ever as a mask.
std::string accountWhere(const Source& source) {
  const auto login = loginOfAccountLocation(source.location);
  if (!login) return source.location;
  return login->server + ", user " + login->user + ", password \xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2"
         "\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2";
}

// "Active until 2027-03-01 12:00, connections 1 / 2."
std::string accountState(const ProviderAccount& account) {
  const AccountInfo& info = account.info;
  std::string text = info.status.empty() ? "Active" : info.status;
  text += info.expires ? " until " + localDateTime(*info.expires) : std::string(", no expiry");
  text += ", connections " + std::to_string(info.activeConnections) + " / " +
          (info.maxConnections > 0 ? std::to_string(info.maxConnections) : std::string("?"));
  if (!info.message.empty()) text += ". " + info.message;
  return text + ".";
}

// A form of this page: its account code and form token carried along.
void openForm(std::string& out, const SourcesPage& page, const char* cls) {
  out += "<form class=\"" + std::string(cls) + "\" method=\"get\" action=\"sources.php\">";
  out += "<input type=\"hidden\" name=\"code\" value=\"" + text::escapeHtml(page.code) + "\">";
  out += "<input type=\"hidden\" name=\"" + std::string(kFormTokenParam) + "\" value=\"" +
         text::escapeHtml(page.formToken) + "\">";
}

void actionLink(std::string& out, const std::string& self, const char* action, std::int64_t id,
                const char* label) {
  out += "<a class=\"" + std::string(action) + "\" href=\"" +
         text::escapeHtml(self + "&" + action + "=" + std::to_string(id)) + "\">" + label + "</a>";
}

}  // namespace

std::string sourcesAddress(const std::string& code) {
  return "sources.php?code=" + text::percentEncoded(code);
}

std::string renderSources(const SourcesPage& page) {
  const std::string self = sourcesAddress(page.code) + "&" + kFormTokenParam + "=" +
                           text::percentEncoded(page.formToken);
  std::string out = html::pageStart("Channel sources");
  out += "<header><h1>Channel sources</h1><a class=\"manage\" href=\"" +
         text::escapeHtml(contract::kDirectoryPage + ("?code=" + text::percentEncoded(page.code) + "&fav=0")) +
         "\">All channels</a></header>\n";
  if (!page.notice.empty()) out += "<p class=\"notice\">" + text::escapeHtml(page.notice) + "</p>\n";

  out += "<ul class=\"sources\">\n<li class=\"source builtin\"><span class=\"kind\">Playlist</span>"
         "<span class=\"name\">channels.m3u</span><span class=\"where\">built in</span>"
         "<span class=\"state\">";
  out += text::escapeHtml(page.builtinProblem.empty()
                          ? counted(static_cast<std::int64_t>(page.builtinChannels),
                                    SourceKind::Playlist) + "."
                          : page.builtinProblem + ".");
  out += "</span></li>\n";
  for (const Source& source : page.sources) {
    const bool failed = source.enabled && !source.lastError.empty();
    out += "<li class=\"source" + std::string(source.enabled ? "" : " off") +
           (failed ? " failed" : "") + (source.parentId ? " header" : "") + "\">";
    out += "<span class=\"kind\">" + kindLabel(source.kind) + "</span>";
    out += "<span class=\"name\">" + text::escapeHtml(source.name) + "</span>";
    // Shown as text, never as a link: the page must not lead anywhere a source chose.
    out += "<span class=\"where\">" +
           text::escapeHtml(source.kind == SourceKind::Account ? accountWhere(source)
                                                               : source.location) +
           "</span>";
    if (source.parentId)
      out += std::string("<span class=\"origin\">") +
             (page.accounts.count(source.parentId) ? "the account's guide" : "named by its playlist") +
             "</span>";
    if (const auto account = page.accounts.find(source.id); account != page.accounts.end())
      out += "<span class=\"account\">" + text::escapeHtml(accountState(account->second)) + "</span>";
    out += "<span class=\"state\">" +
           text::escapeHtml(stateOf(source, page.pending.count(source.id) > 0)) + "</span>";
    if (const std::string check = renderCheckState(page.check, source.id); !check.empty())
      out += "<span class=\"check\">" + text::escapeHtml(check) + "</span>";
    const auto cut = page.cut.find(source.id);
    if (cut != page.cut.end() && cut->second > 0)
      out += "<span class=\"notice cut\">" + tooLong(cut->second, page.maxChannels) + "</span>";
    out += "<span class=\"actions\">";
    if (source.enabled) {
      actionLink(out, self, "refresh", source.id, "refresh now");
      // One check at a time: while one runs, only it can be stopped.
      if (source.kind == SourceKind::Playlist) {
        if (page.check.running && page.check.sourceId == source.id)
          actionLink(out, self, "stopcheck", source.id, "stop checking");
        else if (!page.check.running)
          actionLink(out, self, "check", source.id, "check channels");
      }
      if (source.kind == SourceKind::Playlist && loginOfPlaylistAddress(source.location))
        actionLink(out, self, "toaccount", source.id, "use it as a provider account");
      actionLink(out, self, "off", source.id, "turn off");
    } else {
      actionLink(out, self, "on", source.id, "turn on");
    }
    // A guide named by its playlist comes back with the playlist's next refresh; it can only
    // be turned off.
    if (!source.parentId) actionLink(out, self, "remove", source.id, "\xE2\x9C\x95 remove");
    out += "</span></li>\n";
  }
  out += "</ul>\n";

  openForm(out, page, "add-source");
  out += "<select name=\"add\"><option value=\"playlist\"";
  if (page.form.kind == SourceKind::Playlist) out += " selected";
  out += ">Playlist</option><option value=\"guide\"";
  if (page.form.kind == SourceKind::Guide) out += " selected";
  out += ">Guide (XMLTV)</option></select>";
  out += "<input type=\"text\" name=\"name\" placeholder=\"Name\" value=\"" +
         text::escapeHtml(page.form.name) + "\">";
  out += "<input type=\"text\" name=\"location\" placeholder=\"https://\xE2\x80\xA6 or /path/to/file\" "
         "value=\"" + text::escapeHtml(page.form.location) + "\" required>";
  out += "<button type=\"submit\">Add source</button></form>\n";
  openForm(out, page, "add-account");
  out += "<input type=\"hidden\" name=\"add\" value=\"account\"><span class=\"kind\">Provider "
         "account</span>";
  out += "<input type=\"text\" name=\"server\" placeholder=\"http://server:port\" value=\"" +
         text::escapeHtml(page.accountForm.server) + "\" required>";
  out += "<input type=\"text\" name=\"username\" placeholder=\"User name\" autocomplete=\"off\" "
         "value=\"" + text::escapeHtml(page.accountForm.user) + "\" required>";
  out += "<input type=\"password\" name=\"password\" placeholder=\"Password\" "
         "autocomplete=\"off\" required>";
  out += "<input type=\"text\" name=\"name\" placeholder=\"Name\" value=\"" +
         text::escapeHtml(page.accountForm.name) + "\">";
  out += "<button type=\"submit\">Add account</button></form>\n";
  out += "<p class=\"count\">Web sources are read again every " +
         std::to_string(page.refreshHours) + " hours; channels of every source that is on are "
         "listed together.</p>\n";
  out += html::pageEnd();
  return out;
}

}  // namespace zephra
