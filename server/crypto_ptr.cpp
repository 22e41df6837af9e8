#include "server/crypto_ptr.h"

#include <cstdlib>
#include <mutex>
#include <string>

#include <openssl/err.h>
#include <openssl/provider.h>

namespace dovrel::server {
namespace {

OSSL_PROVIDER* legacyProvider = nullptr;
OSSL_PROVIDER* defaultProvider = nullptr;

// Registered after the library's own exit handler, so it runs first: the
// library's clean-up does not release providers that are still loaded.
void UnloadProviders() {
  if (legacyProvider != nullptr) OSSL_PROVIDER_unload(legacyProvider);
  if (defaultProvider != nullptr) OSSL_PROVIDER_unload(defaultProvider);
  legacyProvider = nullptr;
  defaultProvider = nullptr;
}

}  // namespace

bool EnsureCryptoProviders() {
  static std::once_flag once;
  static bool loaded = false;
  std::call_once(once, [] {
    // Loaded once for the process: every session's cipher needs them.
    legacyProvider = OSSL_PROVIDER_load(nullptr, "legacy");
    defaultProvider = OSSL_PROVIDER_load(nullptr, "default");
    std::atexit(UnloadProviders);
    loaded = legacyProvider != nullptr && defaultProvider != nullptr;
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
