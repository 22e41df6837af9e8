#pragma once
// dovrel-host started as a browser starts it: its standard input and output
// are pipes to this test, which writes requests and reads replies.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace dovrel::test {

class HostProcess {
 public:
  // Starts the host with `arguments` after its program name.
  explicit HostProcess(const std::vector<std::string>& arguments);
  // Kills the host if it still runs.
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool Started() const;
  bool Write(const std::string& bytes);
  // Exactly `size` bytes within `timeoutMs`; false when the host's output
  // ended or the time ran out first.
  bool Read(char* buffer, std::size_t size, int timeoutMs);
  // The browser closes the port: the host's input ends.
  void CloseInput();
  // The host's exit code, or -1 (after killing it) when it did not end in time.
  int Wait(int timeoutMs);

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
};

}  // namespace dovrel::test
