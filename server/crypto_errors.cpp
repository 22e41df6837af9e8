#include "server/crypto_errors.h"

#include <openssl/err.h>

namespace dovrel::server {

std::string TakeCryptoErrors() {
  std::string text;
  char line[256];
  for (unsigned long code = ERR_get_error(); code != 0; code = ERR_get_error()) {
    ERR_error_string_n(code, line, sizeof line);
    if (!text.empty()) text += "; ";
    text += line;
  }
  return text.empty() ? std::string("no details from libcrypto") : text;
}

}  // namespace dovrel::server
