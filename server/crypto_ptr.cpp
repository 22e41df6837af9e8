#include "server/crypto_ptr.h"

#include <mutex>
#include <string>

#include <openssl/err.h>
#include <openssl/provider.h>

namespace dovrel::server {

bool EnsureCryptoProviders() {
  static std::once_flag once;
  static bool loaded = false;
  std::call_once(once, [] {
    // Loaded once for the process and kept: every session's cipher needs them.
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER* standard = OSSL_PROVIDER_load(nullptr, "default");
    loaded = legacy != nullptr && standard != nullptr;
  });
  return loaded;
}

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
