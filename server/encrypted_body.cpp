#include "server/encrypted_body.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "server/crypto_errors.h"

namespace dovrel::server {
namespace {

constexpr std::size_t kFileChunk = 64 * 1024;

// version 0; content type data (1.2.840.113549.1.7.1); CAST5-CBC
// (1.2.840.113533.7.66.10) with the initial vector as its parameter.
constexpr unsigned char kVersion[] = {0x02, 0x01, 0x00};
constexpr unsigned char kDataType[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                       0xF7, 0x0D, 0x01, 0x07, 0x01};
constexpr unsigned char kCast5Oid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                       0xF6, 0x7D, 0x07, 0x42, 0x0A};
constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kOctetString = 0x04;
constexpr unsigned char kImplicitContent = 0x80;  // [0] IMPLICIT OCTET STRING, primitive

void AppendBytes(std::string* out, const unsigned char* bytes, std::size_t count) {
  out->append(reinterpret_cast<const char*>(bytes), count);
}

void AppendLength(std::string* out, std::uint64_t length) {
  if (length < 0x80) {
    out->push_back(static_cast<char>(length));
    return;
  }
  unsigned char digits[8];
  int count = 0;
  for (std::uint64_t rest = length; rest > 0; rest >>= 8)
    digits[count++] = static_cast<unsigned char>(rest);
  out->push_back(static_cast<char>(0x80 | count));
  while (count > 0) out->push_back(static_cast<char>(digits[--count]));
}

// The tag and length that open a DER value of `length` content bytes.
void AppendHeader(std::string* out, unsigned char tag, std::uint64_t length) {
  out->push_back(static_cast<char>(tag));
  AppendLength(out, length);
}

std::uint64_t LengthFieldSize(std::uint64_t length) {
  std::string field;
  AppendLength(&field, length);
  return field.size();
}

std::uint64_t TlvSize(std::uint64_t contentLength) {
  return 1 + LengthFieldSize(contentLength) + contentLength;
}

}  // namespace

std::string FilePlaintextPrefix(std::uint64_t fileSize) {
  return "file_size=" + std::to_string(fileSize) + "&file_contents=";
}

std::uint64_t PaddedLength(std::uint64_t plaintext) {
  return (plaintext / kCipherBlock + 1) * kCipherBlock;
}

std::string EncryptedDataHeadFor(std::string_view cipherOid, std::string_view iv,
                                 std::uint64_t cipherLength) {
  const std::uint64_t algorithmContent = cipherOid.size() + TlvSize(iv.size());
  const std::uint64_t infoContent =
      sizeof kDataType + TlvSize(algorithmContent) + TlvSize(cipherLength);
  const std::uint64_t dataContent = sizeof kVersion + TlvSize(infoContent);

  std::string head;
  AppendHeader(&head, kSequence, dataContent);
  AppendBytes(&head, kVersion, sizeof kVersion);
  AppendHeader(&head, kSequence, infoContent);
  AppendBytes(&head, kDataType, sizeof kDataType);
  AppendHeader(&head, kSequence, algorithmContent);
  head.append(cipherOid);
  AppendHeader(&head, kOctetString, iv.size());
  head.append(iv);
  AppendHeader(&head, kImplicitContent, cipherLength);
  return head;
}

std::string EncryptedDataHead(std::uint64_t cipherLength,
                              const std::array<unsigned char, kInitialVectorLength>& iv) {
  return EncryptedDataHeadFor(
      std::string_view(reinterpret_cast<const char*>(kCast5Oid), sizeof kCast5Oid),
      std::string_view(reinterpret_cast<const char*>(iv.data()), iv.size()), cipherLength);
}

std::uint64_t EncryptedDataPemLength(std::uint64_t derLength) {
  return std::strlen(kEncryptedDataBegin) + Base64LinesLength(derLength) +
         std::strlen(kEncryptedDataEnd);
}

std::unique_ptr<EncryptedFileBody> EncryptedFileBody::Create(OpenedFile file,
                                                             const SessionKeys& keys,
                                                             std::string* error) {
  std::unique_ptr<EncryptedFileBody> body(new EncryptedFileBody());
  UniquePtr<EVP_CIPHER> cast5(EVP_CIPHER_fetch(nullptr, "CAST5-CBC", nullptr));
  body->cipher_.reset(EVP_CIPHER_CTX_new());
  if (!cast5 || !body->cipher_ || EVP_CIPHER_get_iv_length(cast5.get()) != kInitialVectorLength ||
      EVP_EncryptInit_ex2(body->cipher_.get(), cast5.get(), keys.key.data(), keys.iv.data(),
                          nullptr) != 1) {
    *error = "cannot set up CAST5-CBC: " + TakeCryptoErrors();
    return nullptr;
  }
  body->fileLeft_ = file.size;
  body->prefix_ = FilePlaintextPrefix(file.size);
  body->file_ = std::move(file);
  const std::uint64_t cipherLength = PaddedLength(body->prefix_.size() + body->fileLeft_);
  body->head_ = EncryptedDataHead(cipherLength, keys.iv);
  body->length_ = EncryptedDataPemLength(body->head_.size() + cipherLength);
  return body;
}

void EncryptedFileBody::AppendEncoded(const unsigned char* der, std::size_t length) {
  const std::size_t used = pending_.size();
  pending_.resize(used + Base64LineEncoder::MaxOutput(length));
  pending_.resize(used + encoder_.Encode(der, length, pending_.data() + used));
}

bool EncryptedFileBody::EncryptAndEncode(const unsigned char* plain, std::size_t length) {
  sealed_.resize(length + kCipherBlock);
  int sealedLength = 0;
  if (EVP_EncryptUpdate(cipher_.get(), sealed_.data(), &sealedLength, plain,
                        static_cast<int>(length)) != 1) {
    error_ = "encryption failed: " + TakeCryptoErrors();
    return false;
  }
  AppendEncoded(sealed_.data(), static_cast<std::size_t>(sealedLength));
  return true;
}

bool EncryptedFileBody::Refill() {
  pending_.clear();
  pendingOffset_ = 0;
  switch (stage_) {
    case 0:
      pending_.assign(kEncryptedDataBegin, kEncryptedDataBegin + std::strlen(kEncryptedDataBegin));
      ++stage_;
      return true;
    case 1:
      AppendEncoded(reinterpret_cast<const unsigned char*>(head_.data()), head_.size());
      ++stage_;
      return EncryptAndEncode(reinterpret_cast<const unsigned char*>(prefix_.data()),
                              prefix_.size());
    case 2: {
      if (fileLeft_ > 0) {
        plain_.resize(kFileChunk);
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(fileLeft_, kFileChunk));
        ssize_t got;
        do {
          got = read(file_.descriptor.get(), plain_.data(), want);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
          error_ = got == 0 ? "the file became shorter while it was sent"
                            : std::string("cannot read the file: ") + std::strerror(errno);
          return false;
        }
        fileLeft_ -= static_cast<std::uint64_t>(got);
        return EncryptAndEncode(plain_.data(), static_cast<std::size_t>(got));
      }
      sealed_.resize(kCipherBlock);
      int sealedLength = 0;
      if (EVP_EncryptFinal_ex(cipher_.get(), sealed_.data(), &sealedLength) != 1) {
        error_ = "encryption failed: " + TakeCryptoErrors();
        return false;
      }
      AppendEncoded(sealed_.data(), static_cast<std::size_t>(sealedLength));
      const std::size_t used = pending_.size();
      pending_.resize(used + Base64LineEncoder::MaxOutput(0));
      pending_.resize(used + encoder_.Finish(pending_.data() + used));
      const char* end = kEncryptedDataEnd;
      pending_.insert(pending_.end(), end, end + std::strlen(end));
      ++stage_;
      return true;
    }
    default:
      return true;  // nothing more
  }
}

std::ptrdiff_t EncryptedFileBody::Read(char* out, std::size_t capacity) {
  std::size_t written = 0;
  while (written < capacity) {
    if (pendingOffset_ == pending_.size()) {
      if (stage_ > 2) break;
      if (!Refill()) return -1;
      continue;
    }
    const std::size_t n = std::min(capacity - written, pending_.size() - pendingOffset_);
    std::memcpy(out + written, pending_.data() + pendingOffset_, n);
    pendingOffset_ += n;
    written += n;
  }
  produced_ += written;
  // The length went out before the first byte: a text of any other length
  // would corrupt the reply, so cut it off instead.
  if (produced_ > length_ || (written == 0 && produced_ != length_)) {
    error_ = "the encrypted text came out at another length than announced";
    return -1;
  }
  return static_cast<std::ptrdiff_t>(written);
}

}  // namespace dovrel::server
