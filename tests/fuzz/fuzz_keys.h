#pragma once
// What the receive-path targets share: one fixed session key, the one the
// seed replies are encrypted with, and a folder of their own to write in.

#include <string>

#include "session/session_keys.h"

namespace dovrel::fuzz {

// Key 01 02 ... 10, initial vector 11 12 ... 18.
SessionKeys FuzzKeys();

// A folder made on first use and kept for the run.
const std::string& ScratchFolder();

}  // namespace dovrel::fuzz
