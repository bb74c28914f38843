#include "common/html/html.h"

#include "common/text.h"

namespace zephra::html {

std::string pageStart(std::string_view title, std::string_view head) {
  std::string out;
  out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">";
  out += "<title>" + text::escapeHtml(title) + "</title>";
  out += head;
  out += "</head>\n<body>\n";
  return out;
}

std::string pageStart(std::string_view title) {
  // Absolute paths: the pages live at the root, and an update package may bring its own assets.
  return pageStart(title,
                   "<link rel=\"stylesheet\" href=\"/assets/zephra.css\">"
                   "<script src=\"/assets/zephra.js\" defer></script>");
}

std::string pageEnd() { return "</body></html>\n"; }

std::string noticeLine(std::string_view text) {
  if (text.empty()) return {};
  return "<p class=\"notice\">" + text::escapeHtml(text) + "</p>\n";
}

std::string hiddenField(std::string_view id, std::string_view value) {
  const std::string name = text::escapeHtml(id);
  return "<input type=\"hidden\" id=\"" + name + "\" name=\"" + name + "\" value=\"" +
         text::escapeHtml(value) + "\">";
}

}  // namespace zephra::html
