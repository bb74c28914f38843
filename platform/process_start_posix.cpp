// Double fork: the intermediate child starts the script and exits at once, so the script is
// adopted by init (or the session's subreaper) and never becomes our zombie, and no SIGCHLD
// handler has to be installed for the whole process.
#include "platform/process_start.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zephra {

namespace {

// Only async-signal-safe calls from here on: the parent may have other threads.
[[noreturn]] void runScript(const char* script, const char* workingDir, long maxFd) {
  if (::chdir(workingDir) != 0) ::_exit(127);
  const int devNull = ::open("/dev/null", O_RDWR);
  if (devNull < 0) ::_exit(127);
  ::dup2(devNull, STDIN_FILENO);
  ::dup2(devNull, STDOUT_FILENO);
  ::dup2(devNull, STDERR_FILENO);
  // Our descriptors (the X connection, sockets) are not the script's to keep open.
#ifdef SYS_close_range
  if (::syscall(SYS_close_range, 3u, ~0u, 0u) != 0)
#endif
    for (long fd = 3; fd < maxFd; ++fd) ::close(static_cast<int>(fd));
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::signal(SIGPIPE, SIG_DFL);
  ::signal(SIGCHLD, SIG_DFL);
  const char* argv[] = {"sh", script, nullptr};
  ::execv("/bin/sh", const_cast<char* const*>(argv));
  ::_exit(127);
}

}  // namespace

void startScriptHidden(const std::string& script, const std::string& workingDir) {
  long maxFd = ::sysconf(_SC_OPEN_MAX);
  if (maxFd < 0 || maxFd > 65536) maxFd = 65536;
  const pid_t child = ::fork();
  if (child < 0) return;  // nothing started; the caller does not look at the result
  if (child == 0) {
    // Its own session: no controlling terminal, not hit by signals sent to our group.
    ::setsid();
    const pid_t scriptPid = ::fork();
    if (scriptPid == 0) runScript(script.c_str(), workingDir.c_str(), maxFd);
    ::_exit(scriptPid < 0 ? 127 : 0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace zephra
