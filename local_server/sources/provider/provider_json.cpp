#include "local_server/sources/provider/provider_json.h"

#include "common/text.h"
#include "local_server/sources/provider/provider_answers.h"
#include "platform/input_file.h"

namespace zephra {

namespace {

// A web page where JSON was expected: a login form, a provider's front page, a proxy's error.
bool startsLikeMarkup(std::string_view text) {
  text = text::trimmed(text, " \t\r\n\xEF\xBB\xBF");
  return !text.empty() && text.front() == '<';
}

}  // namespace

nlohmann::json parseProviderJson(std::string_view text,
                                 const nlohmann::json::parser_callback_t& take) {
  using Json = nlohmann::json;
  if (startsLikeMarkup(text))
    throw ProviderError("the server sent a web page, not an answer of the player API");
  auto guarded = [&take](int depth, Json::parse_event_t event, Json& value) {
    if (depth > kMaxAnswerDepth)
      throw ProviderError("the answer nests deeper than " + std::to_string(kMaxAnswerDepth) +
                          " levels");
    return take ? take(depth, event, value) : true;
  };
  try {
    return Json::parse(text.begin(), text.end(), guarded);
  } catch (const Json::exception&) {
    throw ProviderError("the answer is not JSON: not a server of the player API");
  }
}

std::string readProviderFile(const std::string& path, std::uint64_t maxBytes) {
  try {
    InputFileOptions options;
    options.maxSize = maxBytes;
    InputFile file = InputFile::open(path, options);
    std::string content(static_cast<std::size_t>(file.size()), '\0');
    std::size_t got = 0;
    while (got < content.size()) {
      const std::size_t n = file.read(&content[got], content.size() - got);
      if (n == 0) break;
      got += n;
    }
    content.resize(got);
    return content;
  } catch (const FileRefused& e) {
    throw ProviderError(e.what());
  }
}

}  // namespace zephra
