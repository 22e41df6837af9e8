#include "cli/options.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

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

constexpr char kPinRefusal[] =
    "--server-pin takes a SHA-256 fingerprint: 64 hexadecimal digits, or 32 pairs with ':' "
    "between them";

// An option whose value is checked: how it is read into the options, and what
// is said when it is refused.
struct ValueOption {
  const char* name;
  bool (*read)(const std::string& text, Options* options);  // false: refused
  const char* refusal;
};

const ValueOption kValueOptions[] = {
    {"--port", [](const std::string& text, Options* o) { return ParsePort(text, &o->port); },
     "--port takes a number from 1 to 65535"},
    {"--exchange-limit",
     [](const std::string& text, Options* o) {
       return ParseMilliseconds(text, &o->exchangeLimitMs);
     },
     "--exchange-limit takes milliseconds, from 0 to 9999999"},
    {"--speed-time",
     [](const std::string& text, Options* o) { return ParseMilliseconds(text, &o->speedTimeMs); },
     "--speed-time takes milliseconds, from 0 to 9999999"},
    {"--cancel-after",
     [](const std::string& text, Options* o) { return ParseMilliseconds(text, &o->cancelAfterMs); },
     "--cancel-after takes milliseconds, from 0 to 9999999"},
    {"--server-pin",
     [](const std::string& text, Options* o) {
       Fingerprint fingerprint;
       if (!ParseFingerprint(text, &fingerprint)) return false;
       o->serverPins.push_back(text);
       return true;
     },
     kPinRefusal},
};

struct TextOption {
  const char* name;
  std::string Options::*text;
};

const TextOption kTextOptions[] = {{"--server", &Options::server},
                                   {"--date", &Options::date},
                                   {"--user", &Options::user},
                                   {"--folder", &Options::folder}};

struct FlagOption {
  const char* name;
  bool Options::*flag;
};

const FlagOption kFlagOptions[] = {{"--all", &Options::all},
                                   {"--quiet", &Options::quiet},
                                   {"-q", &Options::quiet},
                                   {"--tls", &Options::tls}};

struct CommandName {
  const char* name;
  Command command;
};

const CommandName kCommands[] = {{"--help", Command::kHelp}, {"-h", Command::kHelp},
                                 {"help", Command::kHelp},   {"--version", Command::kVersion},
                                 {"list", Command::kList},   {"receive", Command::kReceive}};

// The entry of `table` named `name`; null when there is none.
template <typename Entry, std::size_t Count>
const Entry* Find(const Entry (&table)[Count], const std::string& name) {
  const Entry* found = std::find_if(std::begin(table), std::end(table),
                                    [&](const Entry& entry) { return name == entry.name; });
  return found != std::end(table) ? found : nullptr;
}

// The command's own rules, once every argument has been read.
bool CheckCommand(const Options& options, std::string* error) {
  if (options.command == Command::kList && !options.names.empty()) {
    *error = "list takes no file names";
    return false;
  }
  if (options.command == Command::kReceive) {
    if (options.folder.empty()) {
      *error = "receive needs --folder";
      return false;
    }
    if (options.all == !options.names.empty()) {
      *error = "receive needs either --all or file names, not both";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error) {
  *options = Options{};
  if (arguments.empty()) {
    *error = "no command given";
    return false;
  }
  const CommandName* command = Find(kCommands, arguments[0]);
  if (command == nullptr) {
    *error = "unknown command: " + arguments[0];
    return false;
  }
  options->command = command->command;
  if (command->command == Command::kHelp) return true;
  if (command->command == Command::kVersion) {
    if (arguments.size() == 1) return true;
    *error = "--version takes nothing more";
    return false;
  }

  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options->command = Command::kHelp;
      return true;
    }
    const TextOption* text = Find(kTextOptions, argument);
    const ValueOption* checked = Find(kValueOptions, argument);
    if (const FlagOption* flag = Find(kFlagOptions, argument)) {
      options->*(flag->flag) = true;
    } else if (text != nullptr || checked != nullptr) {
      if (i + 1 >= arguments.size()) {
        *error = argument + " needs a value";
        return false;
      }
      const std::string& value = arguments[++i];
      if (text != nullptr) {
        options->*(text->text) = value;
      } else if (!checked->read(value, options)) {
        *error = checked->refusal;
        return false;
      }
    } else if (argument.size() > 1 && argument[0] == '-') {
      *error = "unknown option: " + argument;
      return false;
    } else {
      options->names.push_back(argument);
    }
  }
  return CheckCommand(*options, error);
}

std::string UsageText() {
  return "usage:\n"
         "  dovrel list    [--server NAME] [--port N] [--date YYYYMMDD] [--user ID] [--tls]\n"
         "  dovrel receive [--server NAME] [--port N] [--date YYYYMMDD] [--user ID] [--tls]\n"
         "                 --folder DIR (--all | NAME...) [--quiet]\n"
         "  dovrel --version\n"
         "\n"
         "Lists the files that the file server holds for a date (default today;\n"
         "00000000 for every date), or receives them over a secure session into DIR.\n"
         "Server defaults to 127.0.0.1, port to 41900. --tls runs every connection\n"
         "inside TLS (1.2 or later, the server's name as SNI), whose certificate only\n"
         "the server pins accept; without pins it refuses to start.\n"
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
