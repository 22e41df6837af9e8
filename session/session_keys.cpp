#include "session/session_keys.h"

#include <openssl/crypto.h>

namespace dovrel {

void WipeSecret(void* bytes, std::size_t count) {
  if (bytes != nullptr) OPENSSL_cleanse(bytes, count);
}

}  // namespace dovrel
