#include "platform/signal_watcher.h"

#include <pthread.h>
#include <signal.h>

#include <utility>

namespace zephra {

namespace {
sigset_t watchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGUSR1);  // private wake-up for the destructor
  return set;
}
}  // namespace

void SignalWatcher::blockSignals() {
  const sigset_t set = watchedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal) {
  // The new thread inherits this mask, so the wake-up signal is blocked there from its start.
  blockSignals();
  m_thread = std::thread([callback = std::move(onSignal)] {
    const sigset_t set = watchedSignals();
    int signalNumber = 0;
    if (sigwait(&set, &signalNumber) == 0 && signalNumber != SIGUSR1) callback(signalNumber);
  });
}

SignalWatcher::~SignalWatcher() {
  if (m_thread.joinable()) {
    pthread_kill(m_thread.native_handle(), SIGUSR1);
    m_thread.join();
  }
}

bool serveUntilSignalled(const std::function<bool()>& serve, const std::function<void()>& stop) {
  SignalWatcher watcher([&stop](int) { stop(); });
  return serve();
}

}  // namespace zephra
