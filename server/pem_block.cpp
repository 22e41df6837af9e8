#include "server/pem_block.h"

#include <climits>
#include <memory>

#include <openssl/pem.h>

#include "pkcs7/crypto_ptr.h"

namespace dovrel::server {
namespace {

struct OpenSslFree {
  void operator()(void* p) const { OPENSSL_free(p); }
};

}  // namespace

std::string MemoryText(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::optional<std::string> ReadPemBlock(std::string_view pem, const char* label) {
  if (pem.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  UniquePtr<BIO> in(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  unsigned char* der = nullptr;
  long length = 0;
  char* name = nullptr;
  if (!in || PEM_bytes_read_bio(&der, &length, &name, label, in.get(), nullptr, nullptr) != 1) {
    return std::nullopt;
  }
  std::unique_ptr<unsigned char, OpenSslFree> ownedDer(der);
  std::unique_ptr<char, OpenSslFree> ownedName(name);
  return std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
}

std::string PemBlockText(const char* label, const unsigned char* der, int length) {
  UniquePtr<BIO> out(BIO_new(BIO_s_mem()));
  if (!out || PEM_write_bio(out.get(), label, "", der, length) <= 0) return std::string();
  return MemoryText(out.get());
}

}  // namespace dovrel::server
