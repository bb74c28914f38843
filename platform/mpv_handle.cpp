#include "platform/mpv_handle.h"

#include <clocale>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/media_player.h"
#include "platform/mpv_library.h"

namespace zephra {

std::string mpvErrorText(int status) { return mpvLibrary().errorString(status); }

void checkMpv(int status, const std::string& what) {
  if (status < 0) throw MediaPlayerError(what + ": " + mpvErrorText(status));
}

MpvHandle::MpvHandle() {
  // mpv parses numbers with the C library and refuses to start under a locale with a
  // decimal comma.
  std::setlocale(LC_NUMERIC, "C");
  m_handle = mpvLibrary().create();
  if (!m_handle) throw MediaPlayerError("cannot create the media player");
}

MpvHandle::~MpvHandle() { destroy(); }

MpvHandle::MpvHandle(MpvHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}

MpvHandle& MpvHandle::operator=(MpvHandle&& other) noexcept {
  if (this != &other) {
    destroy();
    m_handle = std::exchange(other.m_handle, nullptr);
  }
  return *this;
}

void MpvHandle::destroy() noexcept {
  if (!m_handle) return;
  // No wakeup may reach a caller that is going away.
  mpvLibrary().setWakeupCallback(m_handle, nullptr, nullptr);
  mpvLibrary().terminateDestroy(std::exchange(m_handle, nullptr));
}

mpv_handle* MpvHandle::checked() const {
  if (!m_handle) throw MediaPlayerError("the media player is closed");
  return m_handle;
}

void MpvHandle::setOption(const char* name, const std::string& value) {
  checkMpv(mpvLibrary().setOptionString(checked(), name, value.c_str()), std::string("option ") + name);
}

void MpvHandle::initialize() { checkMpv(mpvLibrary().initialize(checked()), "start"); }

void MpvHandle::command(const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  argv.reserve(args.size() + 1);
  for (const auto& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  checkMpv(mpvLibrary().command(checked(), argv.data()), args.empty() ? "command" : args.front());
}

namespace {

mpv_node stringNode(const std::string& text) {
  mpv_node node{};
  node.format = MPV_FORMAT_STRING;
  node.u.string = const_cast<char*>(text.c_str());
  return node;
}

// A node map over borrowed keys and values: they must outlive the map.
struct NodeMap {
  std::vector<char*> keys;
  std::vector<mpv_node> values;
  mpv_node_list list{};
  mpv_node node{};

  void add(const char* key, mpv_node value) {
    keys.push_back(const_cast<char*>(key));
    values.push_back(value);
  }
  // Call once everything is added: the list points into the vectors.
  mpv_node& finish() {
    list.num = static_cast<int>(values.size());
    list.keys = keys.data();
    list.values = values.data();
    node.format = MPV_FORMAT_NODE_MAP;
    node.u.list = &list;
    return node;
  }
};

}  // namespace

void MpvHandle::loadFile(const std::string& url,
                         const std::vector<std::pair<std::string, std::string>>& options) {
  NodeMap perFile;
  for (const auto& [name, value] : options) perFile.add(name.c_str(), stringNode(value));
  static const std::string kReplace = "replace";
  static const std::string kLoadFile = "loadfile";
  // Named arguments, so the options land in "options" whatever position it has in this version.
  NodeMap command;
  command.add("name", stringNode(kLoadFile));
  command.add("url", stringNode(url));
  command.add("flags", stringNode(kReplace));
  if (!options.empty()) command.add("options", perFile.finish());
  mpv_node result{};
  const int status = mpvLibrary().commandNode(checked(), &command.finish(), &result);
  if (status >= 0) mpvLibrary().freeNodeContents(&result);
  checkMpv(status, "loadfile");
}

void MpvHandle::setProperty(const char* name, const std::string& value) {
  checkMpv(mpvLibrary().setPropertyString(checked(), name, value.c_str()), name);
}

void MpvHandle::setFlag(const char* name, bool value) {
  int flag = value ? 1 : 0;
  checkMpv(mpvLibrary().setProperty(checked(), name, MPV_FORMAT_FLAG, &flag), name);
}

void MpvHandle::setInt(const char* name, int64_t value) {
  checkMpv(mpvLibrary().setProperty(checked(), name, MPV_FORMAT_INT64, &value), name);
}

bool MpvHandle::flag(const char* name) const {
  int flag = 0;
  checkMpv(mpvLibrary().getProperty(checked(), name, MPV_FORMAT_FLAG, &flag), name);
  return flag != 0;
}

int64_t MpvHandle::integer(const char* name) const {
  int64_t value = 0;
  checkMpv(mpvLibrary().getProperty(checked(), name, MPV_FORMAT_INT64, &value), name);
  return value;
}

double MpvHandle::number(const char* name) const {
  double value = 0;
  checkMpv(mpvLibrary().getProperty(checked(), name, MPV_FORMAT_DOUBLE, &value), name);
  return value;
}

std::string MpvHandle::text(const char* name) const {
  char* raw = mpvLibrary().getPropertyString(checked(), name);
  if (!raw) throw MediaPlayerError(std::string(name) + ": property unavailable");
  std::string value(raw);
  mpvLibrary().free(raw);
  return value;
}

namespace {

const mpv_node* member(const mpv_node& map, const char* key) {
  if (map.format != MPV_FORMAT_NODE_MAP || !map.u.list) return nullptr;
  for (int i = 0; i < map.u.list->num; ++i)
    if (std::strcmp(map.u.list->keys[i], key) == 0) return &map.u.list->values[i];
  return nullptr;
}

std::optional<double> numberIn(const mpv_node* node) {
  if (node && node->format == MPV_FORMAT_DOUBLE) return node->u.double_;
  if (node && node->format == MPV_FORMAT_INT64) return static_cast<double>(node->u.int64);
  return std::nullopt;
}

}  // namespace

std::vector<std::pair<double, double>> MpvHandle::cachedRanges() const {
  mpv_node state{};
  // Unavailable while nothing is open: no ranges, not a failure.
  if (mpvLibrary().getProperty(checked(), "demuxer-cache-state", MPV_FORMAT_NODE, &state) < 0) return {};
  std::vector<std::pair<double, double>> ranges;
  const mpv_node* list = member(state, "seekable-ranges");
  if (list && list->format == MPV_FORMAT_NODE_ARRAY && list->u.list) {
    for (int i = 0; i < list->u.list->num; ++i) {
      const mpv_node& range = list->u.list->values[i];
      const auto start = numberIn(member(range, "start")), end = numberIn(member(range, "end"));
      if (start && end && *start <= *end) ranges.emplace_back(*start, *end);
    }
  }
  mpvLibrary().freeNodeContents(&state);
  return ranges;
}

void MpvHandle::observe(const char* name, mpv_format format) {
  checkMpv(mpvLibrary().observeProperty(checked(), 0, name, format), name);
}

void MpvHandle::requestLogMessages(const char* minLevel) {
  checkMpv(mpvLibrary().requestLogMessages(checked(), minLevel), "log messages");
}

void MpvHandle::setWakeupCallback(void (*wake)(void*), void* context) {
  mpvLibrary().setWakeupCallback(checked(), wake, context);
}

const mpv_event& MpvHandle::nextEvent() { return waitEvent(0); }

const mpv_event& MpvHandle::waitEvent(double seconds) { return *mpvLibrary().waitEvent(checked(), seconds); }

}  // namespace zephra
