#pragma once
// ENC_DATA of a GET reply: the PEM "PKCS7 ENCRYPTED DATA" text (the
// EncryptedData body itself) of "file_size=N&file_contents=" and the file's
// bytes, under the session's CAST5-CBC key and initial vector. The text is
// made piece by piece while it is sent; its length is known up front.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/base64_lines.h"
#include "server/file_store.h"
#include "server/reply.h"
#include "server/session_table.h"
#include "pkcs7/crypto_ptr.h"

namespace dovrel::server {

inline constexpr char kEncryptedDataBegin[] = "-----BEGIN PKCS7 ENCRYPTED DATA-----\n";
inline constexpr char kEncryptedDataEnd[] = "-----END PKCS7 ENCRYPTED DATA-----\n";
inline constexpr std::size_t kCipherBlock = 8;

// "file_size=N&file_contents=": what precedes the file's bytes.
std::string FilePlaintextPrefix(std::uint64_t fileSize);
// CBC with PKCS#5 padding always adds 1 to 8 bytes.
std::uint64_t PaddedLength(std::uint64_t plaintext);
// The EncryptedData's DER up to (not including) its encrypted content bytes.
std::string EncryptedDataHead(std::uint64_t cipherLength,
                              const std::array<unsigned char, kInitialVectorLength>& iv);
// The same for any content cipher: its OID (tag and length included) and its
// initial vector.
std::string EncryptedDataHeadFor(std::string_view cipherOid, std::string_view iv,
                                 std::uint64_t cipherLength);
// The PEM text's length for a DER body of `derLength` bytes.
std::uint64_t EncryptedDataPemLength(std::uint64_t derLength);

class EncryptedFileBody : public BodyStream {
 public:
  // Nothing, with `error` set, when the cipher cannot be set up.
  static std::unique_ptr<EncryptedFileBody> Create(OpenedFile file, const SessionKeys& keys,
                                                   std::string* error);

  std::uint64_t Length() const override { return length_; }
  std::ptrdiff_t Read(char* out, std::size_t capacity) override;
  std::string Error() const override { return error_; }

 private:
  EncryptedFileBody() = default;
  bool Refill();
  bool EncryptAndEncode(const unsigned char* plain, std::size_t length);
  void AppendEncoded(const unsigned char* der, std::size_t length);

  OpenedFile file_;
  UniquePtr<EVP_CIPHER_CTX> cipher_;
  Base64LineEncoder encoder_;
  std::string prefix_;
  std::string head_;
  std::uint64_t fileLeft_ = 0;
  std::uint64_t length_ = 0;
  std::uint64_t produced_ = 0;
  int stage_ = 0;  // BEGIN line, DER head and plaintext prefix, file, END line, done
  std::vector<unsigned char> plain_;
  std::vector<unsigned char> sealed_;
  std::vector<char> pending_;
  std::size_t pendingOffset_ = 0;
  std::string error_;
};

}  // namespace dovrel::server
