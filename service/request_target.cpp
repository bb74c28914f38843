#include "service/request_target.h"

#include "server/html.h"

namespace zephra::service {

RequestTarget parseTarget(std::string_view target) {
  RequestTarget out;
  if (target.size() > kMaxTargetBytes) target = target.substr(0, kMaxTargetBytes);
  if (const auto hash = target.find('#'); hash != std::string_view::npos)
    target = target.substr(0, hash);
  const auto question = target.find('?');
  out.path = html::percentDecode(target.substr(0, question));
  if (question == std::string_view::npos) return out;
  out.query = std::string(target.substr(question + 1));
  std::string_view rest = out.query;
  while (!rest.empty()) {
    const auto amp = rest.find('&');
    const std::string_view pair = rest.substr(0, amp);
    if (!pair.empty()) {
      const auto eq = pair.find('=');
      out.params.emplace(html::percentDecode(pair.substr(0, eq)),
                         eq == std::string_view::npos ? std::string()
                                                      : html::percentDecode(pair.substr(eq + 1)));
    }
    if (amp == std::string_view::npos) break;
    rest.remove_prefix(amp + 1);
  }
  return out;
}

std::string param(const RequestTarget& target, const std::string& name) {
  const auto it = target.params.find(name);
  return it == target.params.end() ? std::string() : it->second;
}

std::string rawTrailingValue(const RequestTarget& target, const std::string& name) {
  const std::string prefix = name + "=";
  if (target.query.compare(0, prefix.size(), prefix) == 0) return target.query.substr(prefix.size());
  const auto at = target.query.find("&" + prefix);
  return at == std::string::npos ? std::string() : target.query.substr(at + 1 + prefix.size());
}

}  // namespace zephra::service
