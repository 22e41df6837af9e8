#pragma once
// The command line of the receiver:
//   dovrel list    [--server NAME] [--port N] [--date YYYYMMDD] [--user ID]
//   dovrel receive [--server NAME] [--port N] [--date YYYYMMDD] [--user ID]
//                  --folder DIR (--all | NAME...)
//   either: [--tls] (every connection inside TLS, its certificate judged by the pins)
//   testing: --exchange-limit MS, --speed-time MS, --cancel-after MS,
//            --server-pin HEX (repeatable)
//   dovrel --version

#include <string>
#include <vector>

namespace dovrel::cli {

enum class Command { kNone, kHelp, kVersion, kList, kReceive };

// Exit codes: scripts tell the outcomes apart by them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeFailed = 1;   // some files were not received
inline constexpr int kExitServerError = 2;  // no connection, or the server's replies were unusable
inline constexpr int kExitLocalError = 3;   // the receive folder is missing or unusable
inline constexpr int kExitUsage = 64;

inline constexpr int kDefaultPort = 41900;
inline constexpr char kDefaultServer[] = "127.0.0.1";

struct Options {
  Command command = Command::kNone;
  std::string server = kDefaultServer;
  int port = kDefaultPort;
  std::string date;  // empty: today
  std::string user;
  std::string folder;
  bool all = false;
  bool quiet = false;
  bool tls = false;  // asks for TLS; the build or the policy may ask for it anyway
  std::vector<std::string> names;
  // For tests, in milliseconds; -1 keeps the product's value. The bound on
  // each exchange's reply, the period of the low-speed rule of a file fetch,
  // and a cancel asked for that long after the transfer has started.
  int exchangeLimitMs = -1;
  int speedTimeMs = -1;
  int cancelAfterMs = -1;
  // For tests: trusted server fingerprints, in the place of the administrator's
  // policy list (they narrow the build's list like it).
  std::vector<std::string> serverPins;
};

// Parses the arguments after the program name. False with `error` set when
// they do not make a valid command.
bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error);

std::string UsageText();

// "dovrel " and the product's version number, with a line end.
std::string VersionText();

}  // namespace dovrel::cli
