#pragma once
// Decrypts an EncryptedData body (DER, or BER with indefinite lengths and the
// content in segments) as its bytes arrive: the header elements are read
// from a small window, the content goes through the cipher piece by piece and
// the plaintext on to a sink. Nothing grows with the body's size, and no
// length is trusted before the bytes it covers have arrived.

#include <cstddef>
#include <cstdint>

#include "pkcs7/ber_reader.h"
#include "pkcs7/cipher_choice.h"
#include "pkcs7/content_decryptor.h"
#include "pkcs7/crypto_error.h"
#include "pkcs7/crypto_ptr.h"

namespace dovrel {

class EncryptedDataStream {
 public:
  static constexpr std::uint64_t kNoLimit = ~std::uint64_t{0};

  // `unreadableSite` numbers the record's place when the body cannot be read;
  // content beyond `contentLimit` bytes fails the body.
  EncryptedDataStream(const SessionSecret& secret, PlaintextSink& sink, CryptoErrorRecord* error,
                      int unreadableSite, std::uint64_t contentLimit = kNoLimit);

  // Takes the next decoded bytes; false once the body has failed. Bytes after
  // the body's end are ignored.
  bool Feed(const unsigned char* bytes, std::size_t length);
  // No more bytes: true when the whole body was there and its plaintext,
  // final block included, went to the sink.
  bool Finish();
  bool Failed() const { return step_ == Step::kFailed; }

 private:
  // Where the body's syntax has got to.
  enum class Step {
    kBody,
    kVersion,
    kInfo,
    kContentType,
    kAlgorithm,
    kContent,
    kSegment,
    kContentBytes,
    kInfoEnd,
    kBodyEnd,
    kDone,
    kFailed,
  };

  // Each step reads from the bytes at the reader's position and returns how
  // many it used; a step that needs more bytes uses them all.
  std::size_t Advance(const unsigned char* bytes, std::size_t length);
  std::size_t ReadSequence(const unsigned char* bytes, std::size_t length);
  std::size_t ReadSmallElement(const unsigned char* bytes, std::size_t length);
  std::size_t ReadContentHeader(const unsigned char* bytes, std::size_t length);
  std::size_t ReadSegment(const unsigned char* bytes, std::size_t length);
  std::size_t ReadContentBytes(const unsigned char* bytes, std::size_t length);
  std::size_t ReadEnd(const unsigned char* bytes, std::size_t length);

  enum class Next { kMore, kHeader, kEnd };
  Next ReadNext(const unsigned char* bytes, std::size_t length, std::size_t* used);
  void TakeSegmentHeader();
  bool CheckElement();
  bool Complete(BerReader::Status status);
  bool Accept(unsigned char identifier, bool allowIndefinite);
  bool Open();
  bool Holds(bool succeeded);
  void Fail(int site);
  void FailUnreadable();

  CryptoErrorRecord* error_;
  int unreadableSite_;
  Step step_ = Step::kBody;
  BerReader reader_;
  int contentDepth_ = 0;         // frames open when the content began
  std::uint64_t remaining_ = 0;  // of the current primitive content string
  UniquePtr<EVP_CIPHER> cipher_;
  ContentDecryptor decryptor_;
};

}  // namespace dovrel
