// Embedded media player: draws into a child window of its parent and reports what it does
// through two events on the UI thread. Per-OS implementation beside this header.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class wxWindow;

namespace zephra {

// Every failed player call raises this, with the player library's own message.
class MediaPlayerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class SeekOutcome {
  NotSeekable,    // nothing plays, or it cannot be moved in
  Moved,
  AtBufferStart,  // a live channel asked to go back further than it keeps: it went as far as it could
};

class MediaPlayer {
 public:
  virtual ~MediaPlayer() = default;

  virtual void play() = 0;   // starts or resumes the current address
  virtual void pause() = 0;
  virtual void stop() = 0;
  virtual void setUrl(const std::string& url) = 0;  // opens the address (autostart is on)
  virtual void setFullScreen(bool on) = 0;  // the player view fills the screen; Esc or double click leaves
  virtual bool fullScreen() const = 0;
  virtual std::string status() const = 0;  // worded by the player: "Playing", "Buffering (45%)", ...
  // Whether the current address could not be opened or ended with an error (status() says why).
  virtual bool failed() const { return false; }
  virtual bool mute() const = 0;
  virtual void setMute(bool on) = 0;
  virtual int volume() const = 0;  // 0..100
  virtual void setVolume(int volume) = 0;
  // Moves the picture `seconds` (negative: back) within what can be reached: the whole of a
  // file or archive item, or what a live channel keeps received (pausing it goes on receiving).
  // Where it landed shows on the picture for a moment.
  virtual SeekOutcome seekBy(double /*seconds*/) { return SeekOutcome::NotSeekable; }
  // A live channel shown behind its edge goes back to the edge. False when it is not behind.
  virtual bool returnToLive() { return false; }
  // Writes what the stream sends, as it arrives and without re-encoding, to the new file
  // `path` (named .ts) until stopRecording, the end of the item or another address. The
  // stream is opened again for it: a channel played behind live goes back to live.
  virtual void startRecording(const std::string& /*path*/) {
    throw MediaPlayerError("this player cannot record");
  }
  virtual void stopRecording() {}
  virtual bool recording() const { return false; }
  // Why the last recording stopped by itself ("" when it was stopped or still runs).
  virtual std::string recordingProblem() const { return {}; }
  // A short text kept in the picture's top right corner until replaced; "" removes it.
  virtual void setCornerText(const std::string& /*text*/) {}

  // Starts the engine behind the player now, when it has not started yet, so that the first play
  // does not wait for it. Without this the engine starts at the first play.
  virtual void prepare() {}
  // The native window the picture is drawn in. Null for test doubles.
  virtual wxWindow* window() = 0;
  // Sends "Cookie: `cookie`" with every address opened from now on that begins with `base` (the
  // local server's base address, ending in "/"), and with no other; an empty cookie sends none.
  virtual void setServerCookie(const std::string& base, const std::string& cookie) = 0;

  // A new media item was opened (the stream answered and its format is known).
  std::function<void()> onMediaChange;
  // status() changed.
  std::function<void()> onStatusChange;
};

struct MediaPlayerOptions {
  // Video and audio outputs; empty means the platform default (with a fallback where there is no GPU).
  std::string videoOutput;
  std::string audioOutput;
};

// Creates the player filling `parent`. Settings at creation: no controls of its own, no context
// menu, autostart on, volume 50, mute off, rate 1, no error dialogs, not full screen, no address.
std::unique_ptr<MediaPlayer> createMediaPlayer(wxWindow* parent, const MediaPlayerOptions& options = {});

}  // namespace zephra
