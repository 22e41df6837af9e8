#include "tests/session/whole_reply.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "net/codecs.h"
#include "net/message.h"
#include "session/file_contents.h"
#include "pkcs7/pem_body.h"
#include "tests/support/line_ends.h"

namespace dovrel::test {

bool FindEncryptedDataBody(const char* text, std::size_t length, TextSpan* body) {
  if (text == nullptr || body == nullptr) return false;
  std::string_view all(text, length);
  std::size_t begin = all.find(kEncryptedDataBegin);
  std::size_t end = all.find(kEncryptedDataEnd);
  if (begin == std::string_view::npos || end == std::string_view::npos) return false;
  std::size_t start = begin + sizeof kEncryptedDataBegin - 1;
  if (end < start) return false;
  body->offset = start;
  body->length = end - start;
  return true;
}

std::size_t DropControlCharacters(const char* source, std::size_t length, char* out) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(source[i]);
    if (c < 0x20 || c == 0x7F) continue;
    out[count++] = source[i];
  }
  return count;
}

std::string KeyBytes(const SessionKeys& keys) {
  return std::string(reinterpret_cast<const char*>(keys.sessionKey), sizeof keys.sessionKey);
}
std::string IvBytes(const SessionKeys& keys) {
  return std::string(reinterpret_cast<const char*>(keys.initVector), sizeof keys.initVector);
}

std::optional<std::string> WholeReplyPlaintext(const std::string& whole, const SessionKeys& keys) {
  // The reply is read into a zeroed buffer and looked up as zero-terminated
  // text: the document ends at its first zero byte.
  const std::string reply = whole.substr(0, whole.find('\0'));
  auto code = FindElementText(reply, "RESULT_CODE");
  if (!code || ParseLeadingInteger(std::string(*code).c_str()) != 0) return std::nullopt;
  auto enc = FindElementText(reply, "ENC_DATA");
  if (!enc) return std::nullopt;
  TextSpan span{};
  if (!FindEncryptedDataBody(enc->data(), enc->size(), &span)) return std::nullopt;
  std::string clean(span.length, '\0');
  clean.resize(DropControlCharacters(enc->data() + span.offset, span.length, clean.data()));
  std::size_t derLength = 0;
  auto der = DecodeBase64(clean.c_str(), clean.size(), &derLength);
  if (der == nullptr) return std::nullopt;
  const unsigned char* p = der.get();
  std::unique_ptr<PKCS7_ENCRYPT, decltype(&PKCS7_ENCRYPT_free)> body(
      d2i_PKCS7_ENCRYPT(nullptr, &p, static_cast<long>(derLength)), &PKCS7_ENCRYPT_free);
  if (body == nullptr || body->enc_data->enc_data == nullptr) return std::nullopt;
  const EVP_CIPHER* cipher =
      EVP_get_cipherbyname(OBJ_nid2sn(OBJ_obj2nid(body->enc_data->algorithm->algorithm)));
  if (cipher == nullptr) return std::nullopt;
  // Ciphers wanting more key or initial vector than a session has are refused.
  if (EVP_CIPHER_get_key_length(cipher) > static_cast<int>(sizeof keys.sessionKey) ||
      EVP_CIPHER_get_iv_length(cipher) > static_cast<int>(sizeof keys.initVector))
    return std::nullopt;
  const ASN1_OCTET_STRING* content = body->enc_data->enc_data;
  std::string plain(static_cast<std::size_t>(content->length) + 16, '\0');
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                          &EVP_CIPHER_CTX_free);
  int n = 0;
  int last = 0;
  if (EVP_DecryptInit_ex(context.get(), cipher, nullptr, keys.sessionKey, keys.initVector) != 1 ||
      EVP_DecryptUpdate(context.get(), reinterpret_cast<unsigned char*>(plain.data()), &n,
                        content->data, content->length) != 1) {
    ERR_clear_error();
    return std::nullopt;
  }
  if (EVP_DecryptFinal_ex(context.get(), reinterpret_cast<unsigned char*>(plain.data()) + n,
                          &last) != 1)
    last = 0;
  ERR_clear_error();
  plain.resize(static_cast<std::size_t>(n) + static_cast<std::size_t>(last));
  if (plain.empty()) return std::nullopt;
  return plain;
}

std::optional<std::string> FileFromPlaintext(const std::string& plain, bool textMode) {
  // Both are looked for only before the text's first zero byte.
  const std::string beforeZero = plain.substr(0, plain.find('\0'));
  auto size = FindParameterText(beforeZero, "file_size");
  if (!size) return std::nullopt;
  const long long s = ParseLeadingSize(size->data(), std::min<std::size_t>(size->size(), 3071));
  const std::size_t key = beforeZero.find("file_contents");
  if (key == std::string::npos || s < 0) return std::nullopt;
  const std::size_t start = key + 14;
  if (start > plain.size() || static_cast<unsigned long long>(s) > plain.size() - start)
    return std::nullopt;
  std::string bytes = plain.substr(start, static_cast<std::size_t>(s));
  return textMode ? WithCrLf(bytes) : bytes;
}

}  // namespace dovrel::test
