// Any request target, split by the HTTP layer's parser as the service gets it: no value taken
// from it can open a tag in the pages that show it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "common/http/request_target.h"
#include "remote_service/service_pages.h"

using namespace zephra;
using namespace zephra::service;

// The access log line of a request whose method is the input up to its first blank: one line of
// exactly four printable fields, whatever the method and target hold.
void checkLogLine(const std::string& text) {
  http::Request req;
  req.clientAddress = "127.0.0.1";
  const auto blank = text.find(' ');
  req.method = text.substr(0, blank);
  req.target = blank == std::string::npos ? std::string() : text.substr(blank + 1);
  const std::string line = accessLogLine(req, 200);
  int blanks = 0;
  for (const unsigned char c : line) {
    if (c < 0x20 || c >= 0x7f) std::abort();
    blanks += c == ' ';
  }
  if (blanks != 3) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  checkLogLine(text);
  const auto target = http::parseRequestTarget(text);
  if (!target) return 0;  // answered 400 before any page sees it
  auto param = [&](const char* name) {
    const auto it = target->params.find(name);
    return it == target->params.end() ? std::string() : it->second;
  };
  const std::string about = renderAbout(text::percentDecoded(http::rawTrailingValue(target->query, "code")));
  const std::string thanks = renderReportThanks(http::rawTrailingValue(target->query, "url"));
  const std::string help = renderHelp(param("topic"));
  const std::string stamp = param("t");
  const std::string reply = renderUpdateReply(stamp, &stamp);
  // Our own markup has a fixed number of tags; an escaped value adds none.
  if (about.find("<script") != std::string::npos || thanks.find("<script") != std::string::npos ||
      help.find("<script") != std::string::npos || reply.find("retTime") != std::string::npos)
    std::abort();
  return 0;
}
