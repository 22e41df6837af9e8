#include "pkcs7/encrypted_data_stream.h"

#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/x509.h>

#include <algorithm>

#include "pkcs7/failure_sites.h"

namespace dovrel {
namespace {

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kInteger = 0x02;
constexpr unsigned char kObject = 0x06;
constexpr unsigned char kOctetString = 0x04;
constexpr unsigned char kOctetStringSegments = 0x24;
constexpr unsigned char kContentPrimitive = 0x80;  // [0] IMPLICIT OCTET STRING
constexpr unsigned char kContentSegments = 0xA0;
constexpr int kMaxSegmentNesting = 5;  // as deep as the library's decoder follows them

}  // namespace

EncryptedDataStream::EncryptedDataStream(const SessionSecret& secret, PlaintextSink& sink,
                                         CryptoErrorRecord* error, int unreadableSite,
                                         std::uint64_t contentLimit)
    : error_(error),
      unreadableSite_(unreadableSite),
      decryptor_(secret, sink, error, contentLimit) {}

bool EncryptedDataStream::Feed(const unsigned char* bytes, std::size_t length) {
  for (;;) {
    if (step_ == Step::kFailed || step_ == Step::kDone) break;
    const Step before = step_;
    const int depthBefore = reader_.Depth();
    std::size_t used = Advance(bytes, length);
    bytes += used;
    length -= used;
    reader_.Pass(used);
    if (used == 0 && step_ == before && reader_.Depth() == depthBefore) break;  // needs more bytes
  }
  return step_ != Step::kFailed;
}

bool EncryptedDataStream::Finish() {
  Feed(nullptr, 0);  // a definite body may end with its last content byte
  if (step_ == Step::kFailed) return false;
  if (step_ != Step::kDone) {
    FailUnreadable();  // the body ended before its header said it would
    return false;
  }
  return true;
}

std::size_t EncryptedDataStream::Advance(const unsigned char* bytes, std::size_t length) {
  switch (step_) {
    case Step::kBody:
    case Step::kInfo:
      return ReadSequence(bytes, length);
    case Step::kVersion:
    case Step::kContentType:
    case Step::kAlgorithm:
      return ReadSmallElement(bytes, length);
    case Step::kContent:
      return ReadContentHeader(bytes, length);
    case Step::kSegment:
      return ReadSegment(bytes, length);
    case Step::kContentBytes:
      return ReadContentBytes(bytes, length);
    case Step::kInfoEnd:
    case Step::kBodyEnd:
      return ReadEnd(bytes, length);
    case Step::kDone:
    case Step::kFailed:
      return 0;
  }
  return 0;
}

// The SEQUENCE of the body, and that of its encrypted content info.
std::size_t EncryptedDataStream::ReadSequence(const unsigned char* bytes, std::size_t length) {
  BerReader::Status status;
  const std::size_t used = reader_.ReadHeader(bytes, length, &status);
  if (Complete(status) && Accept(kSequence, true) && Open())
    step_ = step_ == Step::kBody ? Step::kVersion : Step::kContentType;
  return used;
}

// The version, the content type and the algorithm identifier, each read whole.
std::size_t EncryptedDataStream::ReadSmallElement(const unsigned char* bytes, std::size_t length) {
  BerReader::Status status;
  const std::size_t used = reader_.ReadElement(bytes, length, &status);
  if (Complete(status) && CheckElement()) {
    step_ = step_ == Step::kVersion       ? Step::kInfo
            : step_ == Step::kContentType ? Step::kAlgorithm
                                          : Step::kContent;
  }
  return used;
}

// The encrypted content: one primitive string, or a run of segments.
std::size_t EncryptedDataStream::ReadContentHeader(const unsigned char* bytes, std::size_t length) {
  std::size_t used = 0;
  const Next next = ReadNext(bytes, length, &used);
  if (next == Next::kEnd) Fail(kSiteDecryptNoContent);
  if (next != Next::kHeader) return used;
  const BerReader::Header& header = reader_.LastHeader();
  if (header.identifier == kContentPrimitive) {
    contentDepth_ = reader_.Depth();
    remaining_ = header.length;
    if (Accept(kContentPrimitive, false) && Holds(decryptor_.Start(cipher_.get())))
      step_ = Step::kContentBytes;
  } else if (Accept(kContentSegments, true)) {
    contentDepth_ = reader_.Depth();
    if (Holds(decryptor_.Start(cipher_.get())) && Open()) step_ = Step::kSegment;
  }
  return used;
}

// The next segment, or the end of a run of them.
std::size_t EncryptedDataStream::ReadSegment(const unsigned char* bytes, std::size_t length) {
  std::size_t used = 0;
  const Next next = ReadNext(bytes, length, &used);
  if (next == Next::kHeader) TakeSegmentHeader();
  if (next != Next::kEnd) return used;
  reader_.Close();  // this run of segments is complete
  if (reader_.Depth() == contentDepth_) step_ = Step::kInfoEnd;
  return used;
}

// A primitive segment's bytes come next; a constructed one opens a nested run.
void EncryptedDataStream::TakeSegmentHeader() {
  const BerReader::Header& header = reader_.LastHeader();
  if (header.identifier == kOctetString) {
    remaining_ = header.length;
    if (Accept(kOctetString, false)) step_ = Step::kContentBytes;
  } else if (Accept(kOctetStringSegments, true)) {
    if (reader_.Depth() - contentDepth_ > kMaxSegmentNesting) {
      FailUnreadable();
    } else {
      Open();
    }
  }
}

std::size_t EncryptedDataStream::ReadContentBytes(const unsigned char* bytes, std::size_t length) {
  const auto used = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, length));
  if (used > 0 && !Holds(decryptor_.Update(bytes, used))) return used;
  remaining_ -= used;
  if (remaining_ == 0) step_ = reader_.Depth() > contentDepth_ ? Step::kSegment : Step::kInfoEnd;
  return used;
}

// The end of the content info, then of the body: at a definite length's end,
// or an end-of-contents marker.
std::size_t EncryptedDataStream::ReadEnd(const unsigned char* bytes, std::size_t length) {
  if (!reader_.AtFrameEnd() && !reader_.InIndefinite()) {
    FailUnreadable();  // more elements than the syntax has
    return 0;
  }
  std::size_t used = 0;
  const Next next = ReadNext(bytes, length, &used);
  if (next == Next::kHeader) FailUnreadable();
  if (next != Next::kEnd) return used;
  reader_.Close();
  if (step_ == Step::kInfoEnd) {
    step_ = Step::kBodyEnd;
  } else if (Holds(decryptor_.Finish())) {
    step_ = Step::kDone;
  }
  return used;
}

// The version and the content type are checked by the library's own decoders,
// as is the algorithm identifier, whose cipher must be registered.
bool EncryptedDataStream::CheckElement() {
  const unsigned char* element = reader_.Element();
  const unsigned char* p = element;
  const std::size_t size = reader_.ElementSize();
  const long length = static_cast<long>(size);
  bool valid = false;
  if (step_ == Step::kVersion && element[0] == kInteger) {
    UniquePtr<ASN1_STRING> value(d2i_ASN1_INTEGER(nullptr, &p, length));
    valid = value != nullptr && p == element + size;
  } else if (step_ == Step::kContentType && element[0] == kObject) {
    UniquePtr<ASN1_OBJECT> value(d2i_ASN1_OBJECT(nullptr, &p, length));
    valid = value != nullptr && p == element + size;
  } else if (step_ == Step::kAlgorithm && element[0] == kSequence) {
    UniquePtr<X509_ALGOR> algorithm(d2i_X509_ALGOR(nullptr, &p, length));
    if (algorithm != nullptr && p == element + size) {
      cipher_ = FetchCipher(algorithm.get());
      if (cipher_ == nullptr) {
        Fail(kSiteDecryptCipherUnknown);
        return false;
      }
      return true;
    }
  }
  if (!valid) FailUnreadable();
  return valid;
}

// What comes next in the innermost frame: its end (a definite length's end,
// or the end-of-contents marker), another header, or nothing whole yet.
EncryptedDataStream::Next EncryptedDataStream::ReadNext(const unsigned char* bytes,
                                                        std::size_t length, std::size_t* used) {
  *used = 0;
  if (reader_.AtFrameEnd()) return Next::kEnd;
  BerReader::Status status;
  *used = reader_.ReadHeader(bytes, length, &status);
  if (!Complete(status)) return Next::kMore;
  return reader_.IsEndOfContents() ? Next::kEnd : Next::kHeader;
}

// Whether the reader has a whole header or element; a malformed one fails the body.
bool EncryptedDataStream::Complete(BerReader::Status status) {
  if (status == BerReader::Status::kMalformed) FailUnreadable();
  return status == BerReader::Status::kComplete;
}

bool EncryptedDataStream::Accept(unsigned char identifier, bool allowIndefinite) {
  if (reader_.Is(identifier, allowIndefinite)) return true;
  FailUnreadable();
  return false;
}

bool EncryptedDataStream::Open() {
  if (reader_.Open()) return true;
  FailUnreadable();
  return false;
}

// A decryption step's outcome: its failure, already recorded, ends the body.
bool EncryptedDataStream::Holds(bool succeeded) {
  if (!succeeded) step_ = Step::kFailed;
  return succeeded;
}

void EncryptedDataStream::Fail(int site) {
  step_ = Step::kFailed;
  if (error_ == nullptr) return;
  if (site == kSiteDecryptNoContent) {
    SetCryptoFailure(error_, "EncryptedData without encrypted content", PlaceStyle::kPaddedLine,
                     kCryptoTag, site);
  } else {
    FormatCryptoError(error_, kCryptoTag, site);
  }
}

void EncryptedDataStream::FailUnreadable() {
  ERR_raise(ERR_LIB_ASN1, ASN1_R_BAD_OBJECT_HEADER);
  Fail(unreadableSite_);
}

}  // namespace dovrel
