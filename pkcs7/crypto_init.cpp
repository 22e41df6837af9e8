#include "pkcs7/crypto_init.h"

#include <openssl/provider.h>

#include <cstdlib>
#include <mutex>

namespace dovrel {
namespace {

OSSL_PROVIDER* legacyProvider = nullptr;
OSSL_PROVIDER* defaultProvider = nullptr;

// Registered after OpenSSL's own exit handler, so it runs before it: a loaded
// provider that is never unloaded is not released by the library's cleanup.
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
    // A failure leaves its entries on this thread's queue, where the first
    // operation that needs the missing cipher reports them.
    legacyProvider = OSSL_PROVIDER_load(nullptr, "legacy");
    defaultProvider = OSSL_PROVIDER_load(nullptr, "default");
    std::atexit(UnloadProviders);
    loaded = legacyProvider != nullptr && defaultProvider != nullptr;
  });
  return loaded;
}

}  // namespace dovrel
