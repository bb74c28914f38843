// Any request target: parsing never fails, and no value taken from it can open a tag in the
// pages that show it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server/html.h"
#include "service/request_target.h"
#include "service/service_pages.h"

using namespace zephra::service;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const RequestTarget target = parseTarget(text);
  const std::string about = renderAbout(zephra::html::percentDecode(rawTrailingValue(target, "code")));
  const std::string thanks = renderReportThanks(rawTrailingValue(target, "url"));
  const std::string help = renderHelp(param(target, "topic"));
  const std::string stamp = param(target, "t");
  const std::string reply = renderUpdateReply(stamp, &stamp);
  // Our own markup has a fixed number of tags; an escaped value adds none.
  if (about.find("<script") != std::string::npos || thanks.find("<script") != std::string::npos ||
      help.find("<script") != std::string::npos || reply.find("retTime") != std::string::npos)
    std::abort();
  return 0;
}
