#include "tests/session/encrypted_reply.h"

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "net/message.h"
#include "pkcs7/crypto_init.h"

namespace dovrel::test {
namespace {

std::vector<unsigned char> EncryptCast5(const std::string& plaintext, const SessionKeys& keys,
                                        bool pad) {
  EnsureCryptoProviders();
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                          &EVP_CIPHER_CTX_free);
  std::vector<unsigned char> out(plaintext.size() + 16);
  int n = 0;
  int last = 0;
  EVP_EncryptInit_ex(context.get(), EVP_cast5_cbc(), nullptr, keys.sessionKey, keys.initVector);
  EVP_CIPHER_CTX_set_padding(context.get(), pad ? 1 : 0);
  EVP_EncryptUpdate(context.get(), out.data(), &n,
                    reinterpret_cast<const unsigned char*>(plaintext.data()),
                    static_cast<int>(plaintext.size()));
  EVP_EncryptFinal_ex(context.get(), out.data() + n, &last);
  out.resize(static_cast<std::size_t>(n) + static_cast<std::size_t>(last));
  return out;
}

}  // namespace

SessionKeys FixedKeys() {
  SessionKeys keys;
  for (std::size_t i = 0; i < sizeof keys.sessionKey; ++i)
    keys.sessionKey[i] = static_cast<unsigned char>(0x10 + i);
  for (std::size_t i = 0; i < sizeof keys.initVector; ++i)
    keys.initVector[i] = static_cast<unsigned char>(0xA0 + i);
  std::strcpy(keys.skey, "test-session");
  return keys;
}

std::string EncryptedDataPem(const std::string& plaintext, const SessionKeys& keys, bool pad) {
  std::vector<unsigned char> cipherText = EncryptCast5(plaintext, keys, pad);
  PKCS7_ENCRYPT* body = PKCS7_ENCRYPT_new();
  ASN1_INTEGER_set(body->version, 0);
  body->enc_data->content_type = OBJ_nid2obj(NID_pkcs7_data);
  ASN1_OCTET_STRING* iv = ASN1_OCTET_STRING_new();
  ASN1_OCTET_STRING_set(iv, keys.initVector, sizeof keys.initVector);
  X509_ALGOR_set0(body->enc_data->algorithm, OBJ_nid2obj(NID_cast5_cbc), V_ASN1_OCTET_STRING, iv);
  body->enc_data->enc_data = ASN1_OCTET_STRING_new();
  ASN1_OCTET_STRING_set(body->enc_data->enc_data, cipherText.data(),
                        static_cast<int>(cipherText.size()));

  BIO* memory = BIO_new(BIO_s_mem());
  PEM_ASN1_write_bio(reinterpret_cast<i2d_of_void*>(i2d_PKCS7_ENCRYPT), "PKCS7 ENCRYPTED DATA",
                     memory, body, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  long length = BIO_get_mem_data(memory, &data);
  std::string pem(data, static_cast<std::size_t>(length));
  BIO_free(memory);
  PKCS7_ENCRYPT_free(body);
  return pem;
}

std::string GetReply(const std::string& plaintext, const SessionKeys& keys) {
  return std::string(kMessageHeader) + "<MORVANTA_XML><RESULT_CODE>0000</RESULT_CODE><ENC_DATA>" +
         EncryptedDataPem(plaintext, keys) + "</ENC_DATA></MORVANTA_XML>";
}

std::string FilePlaintext(const std::string& bytes) {
  return "file_size=" + std::to_string(bytes.size()) + "&file_contents=" + bytes;
}

}  // namespace dovrel::test

namespace dovrel::test {
namespace {

std::string DerHeader(unsigned char tag, std::uint64_t length) {
  std::string out(1, static_cast<char>(tag));
  if (length < 0x80) return out + static_cast<char>(length);
  std::string octets;
  for (; length > 0; length >>= 8) octets.insert(octets.begin(), static_cast<char>(length & 0xFF));
  return out + static_cast<char>(0x80 | octets.size()) + octets;
}

std::uint64_t Base64LinesLength(std::uint64_t bytes) {
  const std::uint64_t rest = bytes % 48;
  return bytes / 48 * 65 + (rest == 0 ? 0 : (rest + 2) / 3 * 4 + 1);
}

constexpr char kReplyHead[] =
    "<MORVANTA_XML><RESULT_CODE>0000</RESULT_CODE><ENC_DATA>"
    "-----BEGIN PKCS7 ENCRYPTED DATA-----\n";
constexpr char kReplyTail[] = "-----END PKCS7 ENCRYPTED DATA-----\n</ENC_DATA></MORVANTA_XML>";

}  // namespace

struct StreamedGetReply::State {
  std::uint32_t seed = 0;
  std::uint64_t fileSize = 0;
  std::string prefix;           // the plaintext's text before the file's bytes
  std::uint64_t plainDone = 0;  // plaintext bytes encrypted so far
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> cipher{nullptr,
                                                                         &EVP_CIPHER_CTX_free};
  std::unique_ptr<EVP_ENCODE_CTX, decltype(&EVP_ENCODE_CTX_free)> encoder{nullptr,
                                                                          &EVP_ENCODE_CTX_free};
  std::string pending;  // made, not yet handed out
  std::size_t handed = 0;
  int stage = 0;  // 0: head and DER header, 1: content, 2: tail, 3: done
  std::string derHeader;
  std::vector<unsigned char> encoded = std::vector<unsigned char>(48 * 256 / 48 * 65 + 256);
};

void StreamedGetReply::FileBytes(std::uint32_t seed, std::uint64_t from, unsigned char* out,
                                 std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint64_t x = (from + i) * 0x9E3779B97F4A7C15ull ^ seed;
    x ^= x >> 29;
    out[i] = static_cast<unsigned char>(x * 0xBF58476D1CE4E5B9ull >> 56);
  }
}

StreamedGetReply::StreamedGetReply(const SessionKeys& keys, std::uint64_t fileSize,
                                   std::uint32_t seed)
    : state_(std::make_unique<State>()) {
  EnsureCryptoProviders();
  State& s = *state_;
  s.seed = seed;
  s.fileSize = fileSize;
  s.prefix = "file_size=" + std::to_string(fileSize) + "&file_contents=";
  const std::uint64_t plain = s.prefix.size() + fileSize;
  const std::uint64_t content = (plain / 8 + 1) * 8;
  const std::string version("\x02\x01\x00", 3);
  const std::string type("\x06\x09\x2a\x86\x48\x86\xf7\x0d\x01\x07\x01", 11);
  const std::string algorithm =
      std::string("\x30\x15\x06\x09\x2a\x86\x48\x86\xf6\x7d\x07\x42\x0a\x04\x08", 15) +
      std::string(reinterpret_cast<const char*>(keys.initVector), 8);
  const std::string contentHeader = DerHeader(0x80, content);
  const std::uint64_t info = type.size() + algorithm.size() + contentHeader.size() + content;
  const std::string infoHeader = DerHeader(0x30, info);
  s.derHeader = DerHeader(0x30, version.size() + infoHeader.size() + info) + version + infoHeader +
                type + algorithm + contentHeader;
  const std::uint64_t der = s.derHeader.size() + content;
  length_ = (sizeof kMessageHeader - 1) + (sizeof kReplyHead - 1) + Base64LinesLength(der) +
            (sizeof kReplyTail - 1);

  s.cipher.reset(EVP_CIPHER_CTX_new());
  EVP_EncryptInit_ex(s.cipher.get(), EVP_cast5_cbc(), nullptr, keys.sessionKey, keys.initVector);
  s.encoder.reset(EVP_ENCODE_CTX_new());
  EVP_EncodeInit(s.encoder.get());
}

StreamedGetReply::~StreamedGetReply() = default;

std::size_t StreamedGetReply::Next(char* out, std::size_t capacity) {
  State& s = *state_;
  if (s.handed == s.pending.size()) Refill();
  const std::size_t n = std::min(capacity, s.pending.size() - s.handed);
  std::copy_n(s.pending.data() + s.handed, n, out);
  s.handed += n;
  return n;
}

void StreamedGetReply::Refill() {
  State& s = *state_;
  s.pending.clear();
  s.handed = 0;
  unsigned char plain[48 * 256];
  unsigned char cipher[sizeof plain + 16];
  unsigned char* encoded = s.encoded.data();
  int n = 0;
  auto encode = [&](const unsigned char* bytes, int count) {
    int written = 0;
    EVP_EncodeUpdate(s.encoder.get(), encoded, &written, bytes, count);
    s.pending.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(written));
  };
  switch (s.stage) {
    case 0:
      s.pending = std::string(kMessageHeader) + kReplyHead;
      encode(reinterpret_cast<const unsigned char*>(s.derHeader.data()),
             static_cast<int>(s.derHeader.size()));
      s.stage = 1;
      return;
    case 1: {
      const std::uint64_t total = s.prefix.size() + s.fileSize;
      std::size_t count =
          static_cast<std::size_t>(std::min<std::uint64_t>(sizeof plain, total - s.plainDone));
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = s.plainDone + i;
        if (at < s.prefix.size()) plain[i] = static_cast<unsigned char>(s.prefix[at]);
      }
      if (s.plainDone + count > s.prefix.size()) {
        const std::uint64_t from = std::max<std::uint64_t>(s.plainDone, s.prefix.size());
        FileBytes(s.seed, from - s.prefix.size(), plain + (from - s.plainDone),
                  static_cast<std::size_t>(s.plainDone + count - from));
      }
      s.plainDone += count;
      EVP_EncryptUpdate(s.cipher.get(), cipher, &n, plain, static_cast<int>(count));
      if (s.plainDone == total) {
        int last = 0;
        EVP_EncryptFinal_ex(s.cipher.get(), cipher + n, &last);
        n += last;
        s.stage = 2;
      }
      encode(cipher, n);
      if (s.stage == 2) {
        int written = 0;
        EVP_EncodeFinal(s.encoder.get(), encoded, &written);
        s.pending.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(written));
      }
      return;
    }
    case 2:
      s.pending = kReplyTail;
      s.stage = 3;
      return;
    default:
      return;
  }
}

}  // namespace dovrel::test
