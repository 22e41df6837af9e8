#include "tests/server/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace dovrel::server::test {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

Child Launch(const std::vector<std::string>& arguments) {
  int out[2], err[2];
  Child child;
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return child;
  // Made before the fork: the child of a process with threads (a test's
  // in-process server) may only make async-signal-safe calls until it execs;
  // an allocation there can wait for ever on a lock another thread held.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(DOVREL_FILESERVER_PATH));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  child.pid = fork();
  if (child.pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  child.out = out[0];
  child.err = err[0];
  return child;
}

std::string ReadUntil(int fd, const std::string& wanted, int timeoutMs) {
  std::string text;
  const auto end = SteadyClock::now() + milliseconds(timeoutMs);
  while (text.find(wanted) == std::string::npos) {
    const auto left = std::chrono::duration_cast<milliseconds>(end - SteadyClock::now()).count();
    pollfd p = {fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

std::string ReadLine(int fd, int timeoutMs) { return ReadUntil(fd, "\n", timeoutMs); }

std::vector<std::string> ReadStartLines(int fd, int timeoutMs) {
  std::string text = ReadUntil(fd, "listening on ", timeoutMs);
  if (text.find('\n', text.find("listening on ")) == std::string::npos)
    text += ReadLine(fd, timeoutMs);
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

int WaitExit(pid_t pid, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -2;
}

}  // namespace dovrel::server::test
