#include "local_server/guide/xmltv_reader.h"

#include <cstring>
#include <mutex>

#include <libxml/xmlreader.h>

#include "common/text.h"
#include "local_server/guide/xmltv_time.h"

namespace zephra::guide {

namespace {

// Network off, no entity substitution (so no external entities and no entity expansion of our
// own), no DTD loading: the reader sees only the bytes of the file. Blank text between elements
// is dropped by the parser: half the nodes of a guide, none of its content.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_COMPACT | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS;

void initLibxml() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

// Appends `text` to `out` with runs of white space and control characters folded into one space,
// stopping at `limit` bytes (at a character boundary).
void appendFolded(std::string& out, const char* text, std::size_t limit) {
  for (const char* p = text; *p && out.size() < limit; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c <= 0x20 || c == 0x7F) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += static_cast<char>(c);
    }
  }
  if (out.size() >= limit) {
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80) --end;
    out.resize(end);
  }
}

void trimSpaces(std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  text.erase(0, first);
  text.erase(text.find_last_not_of(' ') + 1);
}

// "s . e . p" counted from zero, each maybe "n/total": "S2 E10", "S2", "E10" or "".
std::string episodeFromXmltvNs(const std::string& ns) {
  std::string parts[2];
  std::size_t part = 0;
  for (char c : ns) {
    if (c == '.') {
      if (++part == 2) break;
    } else if (part < 2) {
      parts[part] += c;
    }
  }
  auto counted = [](const std::string& text) -> std::string {
    std::string digits;
    for (char c : text) {
      if (c == '/') break;
      if (c >= '0' && c <= '9') digits += c;
    }
    const auto number = text::wholeNumber(digits, 999'999);
    return number ? std::to_string(*number + 1) : std::string();
  };
  const std::string season = counted(parts[0]), episode = counted(parts[1]);
  std::string out;
  if (!season.empty()) out = "S" + season;
  if (!episode.empty()) out += (out.empty() ? "E" : " E") + episode;
  return out;
}

class Attribute {
 public:
  Attribute(xmlTextReaderPtr reader, const char* name)
      : m_value(xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name))) {}
  ~Attribute() { xmlFree(m_value); }
  Attribute(const Attribute&) = delete;
  Attribute& operator=(const Attribute&) = delete;
  std::string text(std::size_t limit = 2048) const {
    std::string out;
    if (m_value) appendFolded(out, reinterpret_cast<const char*>(m_value), limit);
    trimSpaces(out);
    return out;
  }

 private:
  xmlChar* m_value;
};

enum class Field { None, DisplayName, Title, SubTitle, Description, Category, Episode };

}  // namespace

struct XmltvReader::State {
  std::unique_ptr<GuideInput> input;
  xmlTextReaderPtr reader = nullptr;
  std::string firstError;
  ~State() {
    if (reader) xmlFreeTextReader(reader);
  }
};

namespace {
#if LIBXML_VERSION >= 21200
void rememberError(void* arg, const xmlError* error)
#else
void rememberError(void* arg, xmlErrorPtr error)
#endif
{
  auto& first = *static_cast<std::string*>(arg);
  if (!error || error->level < XML_ERR_ERROR) return;
  // The guide is refused at its first error anyway; a parser left running reports every further
  // fault of a hostile file one by one, which can cost minutes.
  if (error->domain == XML_FROM_PARSER && error->ctxt)
    xmlStopParser(static_cast<xmlParserCtxtPtr>(error->ctxt));
  if (!first.empty()) return;
  std::string text = error->message ? error->message : "malformed XML";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  first = text + " (line " + std::to_string(error->line) + ")";
}
}  // namespace

XmltvReader::XmltvReader(std::unique_ptr<State> state) : m_state(std::move(state)) {
  xmlTextReaderSetStructuredErrorHandler(m_state->reader, rememberError, &m_state->firstError);
}

XmltvReader::~XmltvReader() = default;
XmltvReader::XmltvReader(XmltvReader&& other) noexcept = default;
XmltvReader& XmltvReader::operator=(XmltvReader&& other) noexcept = default;

namespace {
int readInput(void* context, char* buffer, int length) {
  return static_cast<GuideInput*>(context)->read(buffer, length);
}
}  // namespace

XmltvReader XmltvReader::open(std::unique_ptr<GuideInput> input) {
  initLibxml();
  auto state = std::make_unique<State>();
  state->input = std::move(input);
  // The input stays ours (no close callback): the reader is freed before it.
  state->reader =
      xmlReaderForIO(readInput, nullptr, state->input.get(), nullptr, nullptr, kParseOptions);
  if (!state->reader) {
    const std::string why = state->input->failure();
    throw GuideError(why.empty() ? "cannot read the guide" : why);
  }
  return XmltvReader(std::move(state));
}

XmltvReader XmltvReader::openFile(const std::string& path, const GuideReadLimits& limits) {
  return open(GuideInput::fromFile(path, limits));
}

XmltvReader XmltvReader::openMemory(const char* data, std::size_t size,
                                    const GuideReadLimits& limits) {
  return open(GuideInput::fromMemory(data, size, limits));
}

void XmltvReader::read(const ChannelHandler& onChannel, const ProgrammeHandler& onProgramme) {
  xmlTextReaderPtr r = m_state->reader;
  enum class Item { None, Channel, Programme } item = Item::None;
  XmltvChannel channel;
  XmltvProgramme programme;
  bool programmeUsable = false;
  std::string episodeOnScreen, episodeNs, episodeOther, episodeSystem;
  Field field = Field::None;
  std::string text;
  bool sawRoot = false;

  auto limitOf = [](Field f) { return f == Field::Description ? kMaxDescription : kMaxTitle; };
  auto finishField = [&] {
    trimSpaces(text);
    std::string* target = nullptr;
    switch (field) {
      case Field::DisplayName:
        if (!text.empty()) channel.displayNames.push_back(text);
        break;
      case Field::Title: target = &programme.title; break;
      case Field::SubTitle: target = &programme.subTitle; break;
      case Field::Description: target = &programme.description; break;
      case Field::Category: target = &programme.category; break;
      case Field::Episode:
        target = episodeSystem == "onscreen" ? &episodeOnScreen
                 : episodeSystem == "xmltv_ns" ? &episodeNs
                                               : &episodeOther;
        break;
      case Field::None: break;
    }
    // The first of repeated elements (titles in several languages) wins.
    if (target && target->empty()) *target = text;
    field = Field::None;
  };
  auto finishProgramme = [&] {
    if (!episodeOnScreen.empty())
      programme.episode = episodeOnScreen;
    else if (!episodeNs.empty())
      programme.episode = episodeFromXmltvNs(episodeNs);
    else
      programme.episode = episodeOther;
    if (programmeUsable && !programme.title.empty())
      onProgramme(programme);
    else
      ++m_skipped;
    item = Item::None;
  };

  int status;
  while ((status = xmlTextReaderRead(r)) == 1) {
    const int type = xmlTextReaderNodeType(r);
    const int depth = xmlTextReaderDepth(r);
    if (type == XML_READER_TYPE_ELEMENT) {
      const char* name = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(r));
      const bool empty = xmlTextReaderIsEmptyElement(r) == 1;
      if (depth == 0) {
        if (std::strcmp(name, "tv") != 0)
          throw GuideError("not an XMLTV guide: the document is <" + std::string(name).substr(0, 40) +
                           ">, not <tv>");
        sawRoot = true;
      } else if (depth == 1 && std::strcmp(name, "programme") == 0) {
        item = Item::Programme;
        programme = XmltvProgramme();
        episodeOnScreen.clear();
        episodeNs.clear();
        episodeOther.clear();
        programme.channel = Attribute(r, "channel").text(256);
        const auto start = parseXmltvTime(Attribute(r, "start").text(64));
        programme.stop = parseXmltvTime(Attribute(r, "stop").text(64));
        programmeUsable = start && !programme.channel.empty();
        if (start) programme.start = *start;
        // Zero length is a marker, not something on air; a stop before the start is no stop.
        if (programme.stop && *programme.stop == programme.start) programmeUsable = false;
        if (programme.stop && *programme.stop < programme.start) programme.stop.reset();
        if (empty) finishProgramme();
      } else if (depth == 1 && std::strcmp(name, "channel") == 0) {
        item = Item::Channel;
        channel = XmltvChannel();
        channel.id = Attribute(r, "id").text(256);
        if (empty) {
          if (!channel.id.empty()) onChannel(channel);
          item = Item::None;
        }
      } else if (depth == 2 && item == Item::Channel) {
        field = std::strcmp(name, "display-name") == 0 ? Field::DisplayName : Field::None;
        text.clear();
        if (empty) field = Field::None;
      } else if (depth == 2 && item == Item::Programme) {
        field = Field::None;
        if (std::strcmp(name, "title") == 0) field = Field::Title;
        else if (std::strcmp(name, "sub-title") == 0) field = Field::SubTitle;
        else if (std::strcmp(name, "desc") == 0) field = Field::Description;
        else if (std::strcmp(name, "category") == 0) field = Field::Category;
        else if (std::strcmp(name, "icon") == 0 && programme.icon.empty())
          programme.icon = Attribute(r, "src").text(2048);
        else if (std::strcmp(name, "episode-num") == 0) {
          episodeSystem = Attribute(r, "system").text(32);
          field = Field::Episode;
        }
        text.clear();
        if (empty) field = Field::None;
      }
    } else if (field != Field::None &&
               (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE)) {
      appendFolded(text, reinterpret_cast<const char*>(xmlTextReaderConstValue(r)),
                   limitOf(field));
    } else if (type == XML_READER_TYPE_END_ELEMENT) {
      if (depth == 2 && field != Field::None) {
        finishField();
      } else if (depth == 1 && item == Item::Programme) {
        finishProgramme();
      } else if (depth == 1 && item == Item::Channel) {
        if (!channel.id.empty()) onChannel(channel);
        item = Item::None;
      }
    }
  }
  // A limit or a read error of our own says more than the parser's "I/O error" that follows it.
  if (!m_state->input->failure().empty()) throw GuideError(m_state->input->failure());
  if (status < 0 || !m_state->firstError.empty())
    throw GuideError("not a readable XMLTV guide: " +
                     (m_state->firstError.empty() ? std::string("malformed XML")
                                                  : m_state->firstError));
  if (!sawRoot) throw GuideError("not an XMLTV guide: the file holds no document");
}

}  // namespace zephra::guide
