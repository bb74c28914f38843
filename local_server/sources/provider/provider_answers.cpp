#include "local_server/sources/provider/provider_answers.h"

#include <cmath>
#include <ctime>
#include <limits>

#include "common/text.h"
#include "local_server/sources/provider/provider_json.h"
#include "local_server/sources/source_input.h"
#include "platform/calendar_time.h"

namespace zephra {

namespace {

using Json = nlohmann::json;

// Text as shown: control characters become blanks, surrounding blanks go, cut to `limit` bytes.
std::string cleanText(std::string_view raw, std::size_t limit = kMaxProviderText) {
  std::string text(raw.substr(0, limit * 2));
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return text::clippedUtf8(text::trimmed(text), limit);
}

// A field sent as text or as a number; nullopt when absent, null or of another type.
std::optional<std::string> textOf(const Json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) return std::nullopt;
  if (found->is_string()) return found->get_ref<const std::string&>();
  if (found->is_number_integer()) return std::to_string(found->get<std::int64_t>());
  if (found->is_number_unsigned()) return std::to_string(found->get<std::uint64_t>());
  return std::nullopt;
}

// A whole number sent as a number, as text ("12", " 12 ") or as a flag; nullopt for "", null,
// negative, fractional or absurd values.
std::optional<std::int64_t> numberOf(const Json& object, const char* key) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::int64_t>::max();
  const auto found = object.find(key);
  if (found == object.end()) return std::nullopt;
  if (found->is_boolean()) return found->get<bool>() ? 1 : 0;
  if (found->is_number_unsigned()) {
    const auto value = found->get<std::uint64_t>();
    if (value <= kMax) return static_cast<std::int64_t>(value);
  } else if (found->is_number_integer()) {
    const auto value = found->get<std::int64_t>();
    if (value >= 0) return value;
  } else if (found->is_number_float()) {
    const double value = found->get<double>();
    if (value >= 0 && value < 9e18 && std::floor(value) == value)
      return static_cast<std::int64_t>(value);
  } else if (found->is_string()) {
    const auto value = text::wholeNumber(text::trimmed(found->get_ref<const std::string&>()), kMax);
    if (value) return static_cast<std::int64_t>(*value);
  }
  return std::nullopt;
}

std::string dateOf(std::int64_t unixSeconds) {
  const auto parts = localCalendarTime(unixSeconds);
  if (!parts) return "?";
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &*parts);
  return text;
}

const Json& objectOrEmpty(const Json& json) {
  static const Json empty = Json::object();
  return json.is_object() ? json : empty;
}

}  // namespace

AccountInfo readAccountInfo(std::string_view answer, std::int64_t now) {
  const Json json = parseProviderJson(answer);
  // A refused login is answered in several ways: no user_info, auth 0, or an empty list.
  if (json.is_array() && json.empty()) throw ProviderError("wrong user name or password");
  if (!json.is_object()) throw ProviderError("the answer is not one of the player API");
  const auto userInfo = json.find("user_info");
  if (userInfo == json.end()) {
    if (json.contains("server_info")) throw ProviderError("wrong user name or password");
    throw ProviderError("the answer is not one of the player API");
  }
  const Json& user = objectOrEmpty(*userInfo);
  if (numberOf(user, "auth").value_or(0) == 0) throw ProviderError("wrong user name or password");

  AccountInfo info;
  info.status = cleanText(textOf(user, "status").value_or(""), 40);
  info.message = cleanText(textOf(user, "message").value_or(""), 200);
  if (const auto expires = numberOf(user, "exp_date"); expires && *expires > 0)
    info.expires = expires;
  info.activeConnections = numberOf(user, "active_cons").value_or(0);
  info.maxConnections = numberOf(user, "max_connections").value_or(0);
  if (const auto formats = user.find("allowed_output_formats");
      formats != user.end() && formats->is_array()) {
    for (const Json& format : *formats)
      if (format.is_string() && info.outputFormats.size() < 16)
        info.outputFormats.push_back(cleanText(format.get_ref<const std::string&>(), 16));
  }

  const std::string status = text::asciiLowered(info.status);
  const bool expired = status == "expired" || (info.expires && *info.expires < now);
  if (expired)
    throw ProviderError(info.expires ? "the account expired on " + dateOf(*info.expires)
                                     : "the account expired");
  if (status == "banned") throw ProviderError("the account is banned");
  if (status == "disabled") throw ProviderError("the account is disabled");
  if (!status.empty() && status != "active")
    throw ProviderError("the account is not active (" + info.status + ")");
  return info;
}

std::vector<ProviderCategory> readCategories(std::string_view answer) {
  const Json json = parseProviderJson(answer);
  if (!json.is_array()) throw ProviderError("the list of categories is not a list");
  std::vector<ProviderCategory> categories;
  for (const Json& entry : json) {
    if (!entry.is_object()) continue;
    auto id = textOf(entry, "category_id");
    if (!id || id->empty()) continue;
    categories.push_back(ProviderCategory{cleanText(*id, 64),
                                          cleanText(textOf(entry, "category_name").value_or(""))});
  }
  return categories;
}

std::size_t readStreams(std::string_view answer,
                        const std::function<void(ProviderStream&)>& take) {
  std::size_t leftOut = 0;
  bool list = false;
  auto claim = [&](int depth, Json::parse_event_t event, Json& value) {
    if (depth == 0 && event == Json::parse_event_t::array_start) list = true;
    if (depth != 1 || !list) return true;
    if (event == Json::parse_event_t::object_end) {
      ProviderStream stream;
      stream.id = numberOf(value, "stream_id").value_or(0);
      stream.name = cleanText(textOf(value, "name").value_or(""));
      if (stream.id <= 0 || stream.name.empty()) {
        ++leftOut;
        return false;
      }
      const std::string logo = cleanText(textOf(value, "stream_icon").value_or(""), kMaxProviderAddress);
      if (isWebAddress(logo)) stream.logo = logo;
      stream.guideId = cleanText(textOf(value, "epg_channel_id").value_or(""));
      stream.category = cleanText(textOf(value, "category_id").value_or(""), 64);
      if (numberOf(value, "tv_archive").value_or(0) != 0)
        stream.archiveDays = static_cast<int>(
            std::min<std::int64_t>(numberOf(value, "tv_archive_duration").value_or(0), 3650));
      take(stream);
      return false;  // taken: the tree never holds the streams
    }
    // Anything else in the list is no stream.
    if (event == Json::parse_event_t::value || event == Json::parse_event_t::array_end) {
      ++leftOut;
      return false;
    }
    return true;
  };
  const Json json = parseProviderJson(answer, claim);
  if (!list) {
    if (json.is_object() && json.contains("user_info"))
      throw ProviderError("the server refused the account's login");
    throw ProviderError("the list of channels is not a list");
  }
  return leftOut;
}

}  // namespace zephra
