#include "common/http/request_target.h"

#include "common/text.h"

namespace zephra::http {

QueryParams parseQuery(std::string_view query) {
  QueryParams params;
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view part = query.substr(start, end - start);
    if (!part.empty()) {
      const auto equals = part.find('=');
      const std::string_view name = part.substr(0, equals);
      const std::string_view value =
          equals == std::string_view::npos ? std::string_view() : part.substr(equals + 1);
      params.emplace(text::percentDecoded(name, text::Plus::AsSpace),
                     text::percentDecoded(value, text::Plus::AsSpace));
    }
    start = end + 1;
  }
  return params;
}

std::string rawTrailingValue(std::string_view query, std::string_view name) {
  for (std::size_t start = 0; start <= query.size();) {
    const std::string_view rest = query.substr(start);
    if (rest.size() > name.size() && rest.compare(0, name.size(), name) == 0 &&
        rest[name.size()] == '=')
      return std::string(rest.substr(name.size() + 1));
    const auto amp = query.find('&', start);
    if (amp == std::string_view::npos) break;
    start = amp + 1;
  }
  return {};
}

std::optional<RequestTarget> parseRequestTarget(std::string_view target) {
  if (target.empty() || target.front() != '/') return std::nullopt;
  if (target.find('#') != std::string_view::npos) return std::nullopt;
  RequestTarget parsed;
  const auto question = target.find('?');
  parsed.path = text::percentDecoded(target.substr(0, question));
  if (question != std::string_view::npos) {
    parsed.query = std::string(target.substr(question + 1));
    parsed.params = parseQuery(parsed.query);
  }
  return parsed;
}

}  // namespace zephra::http
