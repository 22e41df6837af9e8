// dovrel: lists and receives the files of the bank's file server from a terminal.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/options.h"

int main(int argc, char** argv) {
  using namespace dovrel::cli;
  PrepareConsole();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!ParseOptions(arguments, &options, &error)) {
    std::fprintf(stderr, "dovrel: %s\n\n%s", error.c_str(), UsageText().c_str());
    return kExitUsage;
  }
  switch (options.command) {
    case Command::kList:
      return RunList(options);
    case Command::kReceive:
      return RunReceive(options);
    case Command::kVersion:
      std::printf("%s", VersionText().c_str());
      return kExitOk;
    case Command::kHelp:
    case Command::kNone:
      break;
  }
  std::printf("%s", UsageText().c_str());
  return kExitOk;
}
