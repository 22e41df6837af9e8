#pragma once
// Files written whole or not at all: a new file beside the old one, made
// afresh (never through a link or into an existing file), then renamed over it.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace dovrel::server {

// Writes `text` to a new temporary file with exactly `mode` beside `path`,
// flushes it to disk and renames it over `path` (a file or link there is
// replaced, a link's target is never touched). False, with `error` set and
// nothing changed, when any step fails.
bool WriteFileAtomically(const std::string& path, std::string_view text, mode_t mode,
                         std::string* error);

}  // namespace dovrel::server
