#include "session/random_source.h"

#include <openssl/err.h>
#include <openssl/rand.h>

#include <cstdio>
#include <mutex>

#include "pkcs7/crypto_init.h"

namespace dovrel {
namespace {

// Two lower-case digits per byte, in order.
// Drops the error entries queued after it was made, keeping older ones.
class ErrorQueueMark {
 public:
  ErrorQueueMark() { ERR_set_mark(); }
  ~ErrorQueueMark() { ERR_pop_to_mark(); }
  ErrorQueueMark(const ErrorQueueMark&) = delete;
  ErrorQueueMark& operator=(const ErrorQueueMark&) = delete;
};

void WriteHex(const unsigned char* bytes, std::size_t count, char* out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < count; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  out[2 * count] = '\0';
}

}  // namespace

bool PrepareRandomSource() {
  EnsureCryptoProviders();
  char path[kPathSize];
  if (!RandomSeedPath(path, sizeof path)) return true;
  // A seed file that cannot be read or written is no failure here; the
  // entries the library queues for it are dropped, so that they do not
  // turn up in a later crypto error record.
  ErrorQueueMark mark;
  // Control objects may be created on several threads at once; they share the
  // one seed file, so its rewriting is done by one at a time.
  static std::mutex seedFile;
  std::lock_guard<std::mutex> hold(seedFile);
  if (std::FILE* file = std::fopen(path, "wb")) std::fclose(file);  // create or empty it
  RAND_load_file(path, kSeedLoadLimit);
  RAND_write_file(path);
  RAND_load_file(path, kSeedLoadLimit);
  RAND_write_file(path);
  return true;
}

int FormatKeyText(const unsigned char key[kSessionKeySize], const unsigned char iv[kInitVectorSize],
                  char* out, std::size_t capacity) {
  if (key == nullptr || iv == nullptr || out == nullptr || capacity <= kKeyTextLength) return -1;
  char keyDigits[2 * kSessionKeySize + 1];
  char ivDigits[2 * kInitVectorSize + 1];
  WriteHex(key, kSessionKeySize, keyDigits);
  WriteHex(iv, kInitVectorSize, ivDigits);
  const int length =
      std::snprintf(out, capacity, "sessionkey=%s&initvector=%s", keyDigits, ivDigits);
  WipeSecret(keyDigits, sizeof keyDigits);
  WipeSecret(ivDigits, sizeof ivDigits);
  return length;
}

}  // namespace dovrel
