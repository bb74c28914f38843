// Move-only owner of one libmpv instance. Every failed call throws MediaPlayerError carrying
// mpv's own error text, so callers never check codes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <mpv/client.h>

namespace zephra {

class MpvHandle {
 public:
  // Creates an uninitialised instance (loading libmpv first when needed): set options, then
  // initialize().
  MpvHandle();
  ~MpvHandle();
  MpvHandle(MpvHandle&& other) noexcept;
  MpvHandle& operator=(MpvHandle&& other) noexcept;
  MpvHandle(const MpvHandle&) = delete;
  MpvHandle& operator=(const MpvHandle&) = delete;

  void setOption(const char* name, const std::string& value);
  void initialize();

  void command(const std::vector<std::string>& args);
  // "loadfile <url> replace" with options for this one item. Names and values go to mpv as
  // separate strings of a node map, never parsed as option text: a value cannot set another option.
  void loadFile(const std::string& url, const std::vector<std::pair<std::string, std::string>>& options);
  void setProperty(const char* name, const std::string& value);
  void setFlag(const char* name, bool value);
  void setInt(const char* name, int64_t value);
  bool flag(const char* name) const;
  int64_t integer(const char* name) const;
  double number(const char* name) const;
  std::string text(const char* name) const;
  // The stretches of the playing item the engine holds in its cache and can seek in without
  // reading the source again (start, end in seconds); empty when it holds none.
  std::vector<std::pair<double, double>> cachedRanges() const;

  void observe(const char* name, mpv_format format);
  void requestLogMessages(const char* minLevel);
  // `wake` runs on one of mpv's threads whenever events are waiting.
  void setWakeupCallback(void (*wake)(void*), void* context);
  // Next queued event without waiting; MPV_EVENT_NONE when the queue is empty.
  const mpv_event& nextEvent();
  // Next event, waiting up to `seconds` for one (benchmarks; the player never blocks).
  const mpv_event& waitEvent(double seconds);

  // Ends the instance now (idempotent); later calls throw.
  void destroy() noexcept;

 private:
  mpv_handle* checked() const;
  mpv_handle* m_handle = nullptr;
};

// mpv's text for an error code.
std::string mpvErrorText(int status);
// Throws MediaPlayerError("<what>: <mpv's text>") when `status` is an mpv error code.
void checkMpv(int status, const std::string& what);

}  // namespace zephra
