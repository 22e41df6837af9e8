#include "cli/options.h"

#include <cstdlib>

#include "dovrel_version.h"
#include "session/server_pins.h"

namespace dovrel::cli {
namespace {

bool ParsePort(const std::string& text, int* port) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  *port = static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
  return *port > 0 && *port <= 65535;
}

bool ParseMilliseconds(const std::string& text, int* value) {
  if (text.empty() || text.size() > 7) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  *value = static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error) {
  *options = Options{};
  if (arguments.empty()) {
    *error = "no command given";
    return false;
  }
  const std::string& command = arguments[0];
  if (command == "--help" || command == "-h" || command == "help") {
    options->command = Command::kHelp;
    return true;
  }
  if (command == "--version") {
    options->command = Command::kVersion;
    if (arguments.size() == 1) return true;
    *error = "--version takes nothing more";
    return false;
  }
  if (command == "list") {
    options->command = Command::kList;
  } else if (command == "receive") {
    options->command = Command::kReceive;
  } else {
    *error = "unknown command: " + command;
    return false;
  }

  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= arguments.size()) {
        *error = argument + " needs a value";
        return false;
      }
      *out = arguments[++i];
      return true;
    };
    std::string text;
    if (argument == "--help" || argument == "-h") {
      options->command = Command::kHelp;
      return true;
    } else if (argument == "--server") {
      if (!value(&options->server)) return false;
    } else if (argument == "--port") {
      if (!value(&text)) return false;
      if (!ParsePort(text, &options->port)) {
        *error = "--port takes a number from 1 to 65535";
        return false;
      }
    } else if (argument == "--date") {
      if (!value(&options->date)) return false;
    } else if (argument == "--user") {
      if (!value(&options->user)) return false;
    } else if (argument == "--folder") {
      if (!value(&options->folder)) return false;
    } else if (argument == "--all") {
      options->all = true;
    } else if (argument == "--quiet" || argument == "-q") {
      options->quiet = true;
    } else if (argument == "--exchange-limit" || argument == "--speed-time" ||
               argument == "--cancel-after") {
      if (!value(&text)) return false;
      int* target = argument == "--exchange-limit" ? &options->exchangeLimitMs
                    : argument == "--speed-time"   ? &options->speedTimeMs
                                                   : &options->cancelAfterMs;
      if (!ParseMilliseconds(text, target)) {
        *error = argument + " takes milliseconds, from 0 to 9999999";
        return false;
      }
    } else if (argument == "--server-pin") {
      if (!value(&text)) return false;
      Fingerprint fingerprint;
      if (!ParseFingerprint(text, &fingerprint)) {
        *error =
            "--server-pin takes a SHA-256 fingerprint: 64 hexadecimal digits, or 32 pairs "
            "with ':' between them";
        return false;
      }
      options->serverPins.push_back(text);
    } else if (argument.size() > 1 && argument[0] == '-') {
      *error = "unknown option: " + argument;
      return false;
    } else {
      options->names.push_back(argument);
    }
  }

  if (options->command == Command::kList && !options->names.empty()) {
    *error = "list takes no file names";
    return false;
  }
  if (options->command == Command::kReceive) {
    if (options->folder.empty()) {
      *error = "receive needs --folder";
      return false;
    }
    if (options->all == !options->names.empty()) {
      *error = "receive needs either --all or file names, not both";
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  return "usage:\n"
         "  dovrel list    [--server NAME] [--port N] [--date YYYYMMDD] [--user ID]\n"
         "  dovrel receive [--server NAME] [--port N] [--date YYYYMMDD] [--user ID]\n"
         "                 --folder DIR (--all | NAME...) [--quiet]\n"
         "  dovrel --version\n"
         "\n"
         "Lists the files that the file server holds for a date (default today;\n"
         "00000000 for every date), or receives them over a secure session into DIR.\n"
         "Server defaults to 127.0.0.1, port to 41900.\n"
         "\n"
         "exit codes: 0 all done, 1 some files not received, 2 server or connection\n"
         "error, 3 receive folder unusable, 64 bad usage\n"
         "\n"
         "For tests (milliseconds): --exchange-limit MS bounds each exchange's reply\n"
         "(default 60000), --speed-time MS is the time in which a file must gain\n"
         "1 KiB (default 60000), --cancel-after MS cancels a receive that long after\n"
         "its transfer has started. --server-pin HEX (repeatable) trusts only the\n"
         "server whose certificate or public key has that SHA-256 fingerprint, in\n"
         "the place of the administrator's policy list.\n";
}

std::string VersionText() { return std::string("dovrel ") + DOVREL_VERSION_TEXT + "\n"; }

}  // namespace dovrel::cli
