// Programme guide figures, run by bench/guide_bench.sh (never by the test suite):
//   zephra_guide_bench generate FILE CHANNELS DAYS MEGABYTES   writes a guide of realistic shape
//   zephra_guide_bench import FILE DATABASE                     import rate and peak memory growth
//   zephra_guide_bench read FILE                                 the file only read: programmes, s
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "local_server/guide/guide_import.h"
#include "tests/support/xmltv_time.h"

namespace {

using zephra::test::xmltvTime;

using namespace zephra::guide;
using zephra::test::xmltvTime;

long statusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
  return -1;
}

// Starts the peak resident size again from the current one.
void resetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

int generate(const char* path, int channels, int days, int megabytes) {
  // Programmes of 30 to 150 minutes (an hour and a half on average, 16 a day): the description
  // fills the rest.
  const double perProgramme =
      megabytes * 1048576.0 / (static_cast<double>(channels) * days * 16) - 470;
  const std::size_t descLength = perProgramme > 40 ? static_cast<std::size_t>(perProgramme) : 40;
  const std::string words = "the quick brown fox jumps over a lazy dog & then <rests> for a while ";
  std::string desc;
  while (desc.size() < descLength) desc += words;
  desc.resize(descLength);
  std::string escaped;
  for (char c : desc) escaped += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);

  std::FILE* out = std::fopen(path, "w");
  if (!out) return 1;
  std::fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv generator-info-name=\"bench\">\n");
  for (int c = 1; c <= channels; ++c)
    std::fprintf(out,
                 "  <channel id=\"ch%d.example\">\n    <display-name>Channel %d HD</display-name>\n"
                 "    <icon src=\"http://logos.example/%d.png\"/>\n  </channel>\n",
                 c, c, c);
  const std::int64_t now = std::time(nullptr);
  const std::int64_t first = now - now % 86400 - 3600;
  std::size_t programmes = 0;
  for (int c = 1; c <= channels; ++c) {
    std::int64_t t = first;
    for (int slot = 0; t < first + days * 86400; ++slot) {
      const std::int64_t length = 1800 * (1 + (slot * 7 + c) % 5);
      std::fprintf(out,
                   "  <programme start=\"%s\" stop=\"%s\" channel=\"ch%d.example\">\n"
                   "    <title lang=\"en\">Programme %d of channel %d</title>\n"
                   "    <sub-title lang=\"en\">Episode title %d</sub-title>\n"
                   "    <desc lang=\"en\">%s</desc>\n    <category lang=\"en\">Series</category>\n"
                   "    <icon src=\"http://img.example/p/%d.jpg\"/>\n"
                   "    <episode-num system=\"xmltv_ns\">%d.%d.</episode-num>\n  </programme>\n",
                   xmltvTime(t).c_str(), xmltvTime(t + length).c_str(), c, slot, c, slot,
                   escaped.c_str(), slot, slot % 9, slot % 24);
      t += length;
      ++programmes;
    }
  }
  std::fprintf(out, "</tv>\n");
  std::fclose(out);
  std::printf("%zu\n", programmes);
  return 0;
}

int import(const char* path, const char* database) {
  GuideStore store(database);
  const long before = statusKb("VmRSS");
  resetPeak();
  const auto start = std::chrono::steady_clock::now();
  const ImportResult result = importGuideFile(store, "bench", path);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long peak = statusKb("VmHWM");

  // The reference: the same file only read, nothing stored.
  resetPeak();
  const auto readStart = std::chrono::steady_clock::now();
  std::size_t read = 0;
  XmltvReader reader = XmltvReader::openFile(path);
  reader.read([](XmltvChannel&) {}, [&](XmltvProgramme&) { ++read; });
  const double readSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - readStart).count();
  std::printf("%zu %zu %.3f %ld %ld %zu %.3f\n", result.channels, result.programmes, seconds,
              before, peak, read, readSeconds);
  return 0;
}

int readOnly(const char* path) {
  const auto start = std::chrono::steady_clock::now();
  std::size_t read = 0;
  XmltvReader reader = XmltvReader::openFile(path);
  reader.read([](XmltvChannel&) {}, [&](XmltvProgramme&) { ++read; });
  std::printf("%zu %.3f\n", read,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && argc == 6)
      return generate(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    if (mode == "import" && argc == 4) return import(argv[2], argv[3]);
    if (mode == "read" && argc == 3) return readOnly(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zephra_guide_bench: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr,
               "usage: zephra_guide_bench generate FILE CHANNELS DAYS MEGABYTES\n"
               "       zephra_guide_bench import FILE DATABASE\n"
               "       zephra_guide_bench read FILE\n");
  return 2;
}
