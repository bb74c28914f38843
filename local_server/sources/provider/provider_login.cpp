#include "local_server/sources/provider/provider_login.h"

#include <algorithm>
#include <string>

namespace zephra {

AccountInfo checkProviderLogin(const ProviderLogin& login, FetchLimits limits, std::int64_t now,
                               const std::atomic<bool>* cancel) {
  limits.maxBytes = std::min<std::uint64_t>(limits.maxBytes, kMaxLoginAnswerBytes);
  std::string answer;
  try {
    answer = fetchToMemory(providerApiAddress(login), limits, cancel);
  } catch (const FetchError& e) {
    const std::string why = e.what();
    if (why.find("larger than") != std::string::npos)
      throw ProviderError("the answer is larger than " + std::to_string(limits.maxBytes >> 20) +
                          " MiB: not a server of the player API");
    // Some servers refuse a wrong login with the status alone.
    if (why.find("answered 401") != std::string::npos || why.find("answered 403") != std::string::npos)
      throw ProviderError("wrong user name or password (" + why + ")");
    if (why == "cancelled") throw;
    throw ProviderError("the server cannot be reached: " + why);
  }
  return readAccountInfo(answer, now);
}

}  // namespace zephra
