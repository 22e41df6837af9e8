#pragma once
// Decrypts an EncryptedData body (DER, or BER with indefinite lengths and the
// content in segments) as its bytes arrive: the header elements are read
// from a small window, the content goes through the cipher piece by piece and
// the plaintext on to a sink. Nothing grows with the body's size, and no
// length is trusted before the bytes it covers have arrived.

#include <cstddef>
#include <cstdint>

#include "session/cipher_choice.h"
#include "session/crypto_error.h"
#include "session/crypto_ptr.h"

namespace dovrel {

// Where the plaintext goes. Take returns false to stop the decryption (a full
// disk, an output that is too small).
class PlaintextSink {
 public:
  virtual bool Take(const unsigned char* bytes, std::size_t length) = 0;

 protected:
  ~PlaintextSink() = default;
};

class EncryptedDataStream {
 public:
  // The largest header element (version, content type, algorithm identifier).
  static constexpr std::size_t kElementWindow = 16384;
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
  struct Header {
    unsigned char identifier = 0;
    bool indefinite = false;
    std::uint64_t length = 0;
  };
  struct Frame {
    bool indefinite;
    std::uint64_t end;  // for a definite length: the position just past it
  };
  static constexpr int kMaxFrames = 8;  // body, info and up to five nested segments

  std::size_t Advance(const unsigned char* bytes, std::size_t length);
  std::size_t ReadHeader(const unsigned char* bytes, std::size_t length, bool* complete);
  std::size_t ReadElement(const unsigned char* bytes, std::size_t length, bool* complete);
  bool Accept(const Header& header, unsigned char identifier, bool allowIndefinite);
  bool AtFrameEnd() const;
  bool IsEndOfContents() const;
  bool CheckElement();
  bool StartContent();
  bool Decrypt(const unsigned char* bytes, std::size_t length);
  bool FinishCipher();
  bool Push(const Header& header);
  void Fail(int site);
  void FailUnreadable();

  SessionSecret secret_;
  PlaintextSink& sink_;
  CryptoErrorRecord* error_;
  int unreadableSite_;
  std::uint64_t contentLimit_;
  Step step_ = Step::kBody;
  std::uint64_t position_ = 0;  // decoded bytes taken so far

  unsigned char headerBytes_[10] = {};
  std::size_t headerHave_ = 0;
  Header header_;
  std::uint64_t headerEnd_ = 0;  // the position just past the last header read

  unsigned char element_[kElementWindow] = {};
  std::size_t elementHave_ = 0;
  std::size_t elementSize_ = 0;
  bool elementStarted_ = false;

  Frame frames_[kMaxFrames] = {};
  int depth_ = 0;
  int contentDepth_ = 0;         // frames open when the content began
  std::uint64_t remaining_ = 0;  // of the current primitive content string
  std::uint64_t contentSeen_ = 0;

  UniquePtr<EVP_CIPHER> cipher_;
  UniquePtr<EVP_CIPHER_CTX> context_;
  unsigned char plain_[16384 + 64] = {};
};

}  // namespace dovrel
