#include <unistd.h>

#include "cli/console.h"

namespace dovrel::cli {

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

void PrepareConsole() {}

// Arguments arrive in UTF-8; the wire wants the server's code page.
bool ArgumentToWire(const std::string& argument, std::string* wire) {
  return PlatformWireText().FromUtf8(argument, wire);
}

}  // namespace dovrel::cli
