// A program started for a test: stdout read line by line with a time-out, signals, exit status.
// The destructor kills and reaps it, and it dies with the test process, so a failing test never
// leaves a server behind.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zephra::test {

class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::string& cwd = {},
               const std::vector<std::string>& unsetEnv = {}) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    m_pid = ::fork();
    if (m_pid < 0) throw std::runtime_error("fork failed");
    if (m_pid == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, STDIN_FILENO);
      // Signals blocked by the test process would be inherited and keep SIGTERM from arriving.
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
      for (const auto& name : unsetEnv) ::unsetenv(name.c_str());
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(out[1]);
    m_out = out[0];
  }
  ~ChildProcess() {
    if (m_pid > 0 && !m_status) {
      ::kill(m_pid, SIGKILL);
      int status = 0;
      ::waitpid(m_pid, &status, 0);
    }
    if (m_out >= 0) ::close(m_out);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return m_pid; }

  // The next line of stdout, or nullopt at end of output or after `timeout`.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const auto newline = m_buffer.find('\n');
      if (newline != std::string::npos) {
        std::string line = m_buffer.substr(0, newline);
        m_buffer.erase(0, newline + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{m_out, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[512];
      const ssize_t n = ::read(m_out, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
  }

  // The exit status once the process ended within `timeout`: the exit code, or 128 + signal.
  std::optional<int> wait(std::chrono::milliseconds timeout) {
    if (m_status) return m_status;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
      int status = 0;
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return m_status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
  }

  void signal(int number) { ::kill(m_pid, number); }

  // `number` (SIGTERM unless told), then the exit status as wait() gives it; an ended process
  // gets no signal.
  std::optional<int> stop(std::chrono::milliseconds timeout, int number = SIGTERM) {
    if (const auto status = wait(std::chrono::milliseconds(0))) return status;
    signal(number);
    return wait(timeout);
  }

 private:
  pid_t m_pid = -1;
  int m_out = -1;
  std::string m_buffer;
  std::optional<int> m_status;
};

// Processes whose executable is exactly `program` (a private copy only this test runs).
inline std::vector<pid_t> processesRunning(const std::filesystem::path& program) {
  std::vector<pid_t> pids;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code unreadable;
    if (std::filesystem::read_symlink(entry.path() / "exe", unreadable) == program && !unreadable)
      pids.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return pids;
}

}  // namespace zephra::test
