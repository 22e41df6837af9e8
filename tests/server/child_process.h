#pragma once
// The dovrel-fileserver executable run as a child process, its output read
// through pipes.

#include <sys/types.h>

#include <string>
#include <vector>

namespace dovrel::server::test {

struct Child {
  pid_t pid = -1;
  int out = -1;  // its standard output
  int err = -1;  // its standard error
};

// Runs the executable with `arguments`.
Child Launch(const std::vector<std::string>& arguments);

// One line (or whatever arrives) within the time-out.
std::string ReadLine(int fd, int timeoutMs);
// What arrives until it holds `wanted` or the time-out passes.
std::string ReadUntil(int fd, const std::string& wanted, int timeoutMs);
// The lines the server prints at start, without their line ends: its
// certificate's fingerprints, then "listening on ADDRESS:PORT" last.
std::vector<std::string> ReadStartLines(int fd, int timeoutMs);

// Its exit code; -1 when a signal ended it, -2 (after killing it) when it
// did not end in time.
int WaitExit(pid_t pid, int timeoutMs);

}  // namespace dovrel::server::test
