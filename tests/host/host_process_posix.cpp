#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/host/host_process.h"

namespace dovrel::test {

struct HostProcess::Handles {
  pid_t pid = -1;
  int input = -1;   // the host's standard input, our end
  int output = -1;  // the host's standard output, our end
};

namespace {

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

}  // namespace

HostProcess::HostProcess(const std::vector<std::string>& arguments)
    : handles_(std::make_unique<Handles>()) {
  int toHost[2];
  int fromHost[2];
  if (pipe2(toHost, O_CLOEXEC) != 0) return;
  if (pipe2(fromHost, O_CLOEXEC) != 0) {
    close(toHost[0]);
    close(toHost[1]);
    return;
  }
  std::vector<std::string> words = {DOVREL_HOST_PROGRAM};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(toHost[0], STDIN_FILENO);
    dup2(fromHost[1], STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(toHost[0]);
  close(fromHost[1]);
  handles_->pid = pid;
  handles_->input = toHost[1];
  handles_->output = fromHost[0];
  // A host that exits early must not end the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
}

HostProcess::~HostProcess() {
  CloseFd(&handles_->input);
  if (handles_->pid > 0) {
    kill(handles_->pid, SIGKILL);
    waitpid(handles_->pid, nullptr, 0);
  }
  CloseFd(&handles_->output);
}

bool HostProcess::Started() const { return handles_->pid > 0; }

bool HostProcess::Write(const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(handles_->input, bytes.data() + written, bytes.size() - written);
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

bool HostProcess::Read(char* buffer, std::size_t size, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t got = 0;
  while (got < size) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{handles_->output, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
    const ssize_t n = read(handles_->output, buffer + got, size - got);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

void HostProcess::CloseInput() { CloseFd(&handles_->input); }

int HostProcess::Wait(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (handles_->pid > 0) {
    int status = 0;
    if (waitpid(handles_->pid, &status, WNOHANG) == handles_->pid) {
      handles_->pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;  // the destructor kills it
}

}  // namespace dovrel::test
