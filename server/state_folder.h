#pragma once
// The --state folder, where a generated certificate and key are kept.
// Whoever can put files there chooses the server's key pair: only the running
// user may write to it, and its files are read without following links.

#include <cstddef>
#include <string>

#include "base/unique_handles_posix.h"

namespace dovrel::server {

// A PEM certificate or RSA key is a few KiB.
inline constexpr std::size_t kStateFileLimit = 64 * 1024;

// The folder, opened; made with mode 0700 when missing. Empty, with `error`
// set, when it cannot be made or opened, belongs to another user or may be
// written by group or others.
unique_fd OpenStateFolder(const std::string& path, std::string* error);

// True when `name` stands in the folder as anything, a link included.
bool StateFileTaken(int folder, const char* name);

// The text of the plain file `name` in the folder, never through a link, at
// most kStateFileLimit bytes. `shown` names the file in `error`.
bool ReadStateFile(int folder, const char* name, const std::string& shown, std::string* text,
                   std::string* error);

}  // namespace dovrel::server
