#include "tests/transfer/encrypted_reply.h"

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <cstring>
#include <memory>
#include <vector>

#include "net/message.h"
#include "session/crypto_init.h"

namespace dovrel::test {
namespace {

std::vector<unsigned char> EncryptCast5(const std::string& plaintext, const SessionKeys& keys, bool pad) {
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
  for (std::size_t i = 0; i < sizeof keys.sessionKey; ++i) keys.sessionKey[i] = static_cast<unsigned char>(0x10 + i);
  for (std::size_t i = 0; i < sizeof keys.initVector; ++i) keys.initVector[i] = static_cast<unsigned char>(0xA0 + i);
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
  ASN1_OCTET_STRING_set(body->enc_data->enc_data, cipherText.data(), static_cast<int>(cipherText.size()));

  BIO* memory = BIO_new(BIO_s_mem());
  PEM_ASN1_write_bio(reinterpret_cast<i2d_of_void*>(i2d_PKCS7_ENCRYPT), "PKCS7 ENCRYPTED DATA", memory,
                     body, nullptr, nullptr, 0, nullptr, nullptr);
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
