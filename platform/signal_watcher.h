// Turns SIGTERM, SIGINT and SIGHUP into a call on an ordinary thread, where stopping the HTTP
// server is safe (nothing may be done inside a signal handler but async-signal-safe calls).
// Per-OS implementation beside this header.
#pragma once

#include <functional>
#include <thread>

namespace zephra {

class SignalWatcher {
 public:
  // Blocks the signals in the calling thread; threads created afterwards inherit the mask, so
  // call this before starting any other thread. Also ignores SIGPIPE (a client hanging up
  // mid-response must not kill the server).
  static void blockSignals();

  // Starts a thread that waits for one of the signals and then runs `onSignal` once. Calls
  // blockSignals() on the calling thread first.
  explicit SignalWatcher(std::function<void(int)> onSignal);
  // Wakes the thread with SIGUSR1 when no signal came, and joins it.
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  std::thread m_thread;
};

// Runs `serve`, a server's loop, on this thread and returns its result; a stop signal calls
// `stop` from the watcher thread. `stop` must end the loop also when it comes before the loop
// has started (zephra::http::Server::stop does).
bool serveUntilSignalled(const std::function<bool()>& serve, const std::function<void()>& stop);

}  // namespace zephra
