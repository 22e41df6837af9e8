#pragma once
// The dovrel-fileserver command line.

#include <string>
#include <vector>

#include "server/file_server.h"

namespace dovrel::server {

struct CommandLine {
  FileServerOptions options;
  bool help = false;
};

// The arguments after the program name. "--name value" and "--name=value"
// both work. False, with `error` set, for anything it does not understand.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* commandLine,
                      std::string* error);

std::string UsageText();

}  // namespace dovrel::server
