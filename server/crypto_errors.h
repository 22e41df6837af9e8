#pragma once
// libcrypto's error queue as one line for the server's messages and warnings.

#include <string>

namespace dovrel::server {

// The pending libcrypto error entries as one line, emptying the queue.
std::string TakeCryptoErrors();

}  // namespace dovrel::server
