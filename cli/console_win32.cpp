#include <windows.h>

#include <io.h>

#include "cli/console.h"

namespace dovrel::cli {

bool IsTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

// Our texts are UTF-8: tell the console so.
void PrepareConsole() { ::SetConsoleOutputCP(CP_UTF8); }

// Arguments arrive in the ANSI code page, which is the wire's own.
bool ArgumentToWire(const std::string& argument, std::string* wire) {
  *wire = argument;
  return true;
}

}  // namespace dovrel::cli
