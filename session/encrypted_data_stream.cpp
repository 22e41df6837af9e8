#include "session/encrypted_data_stream.h"

#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdio>

#include "session/failure_sites.h"

namespace dovrel {
namespace {

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kInteger = 0x02;
constexpr unsigned char kObject = 0x06;
constexpr unsigned char kOctetString = 0x04;
constexpr unsigned char kOctetStringSegments = 0x24;
constexpr unsigned char kContentPrimitive = 0x80;  // [0] IMPLICIT OCTET STRING
constexpr unsigned char kContentSegments = 0xA0;
constexpr unsigned char kConstructed = 0x20;
constexpr int kMaxSegmentNesting = 5;  // as deep as the library's decoder follows them
constexpr std::uint64_t kLengthLimit = std::uint64_t{1} << 62;
constexpr std::size_t kSlice = 16384;

}  // namespace

EncryptedDataStream::EncryptedDataStream(const SessionSecret& secret, PlaintextSink& sink,
                                         CryptoErrorRecord* error, int unreadableSite,
                                         std::uint64_t contentLimit)
    : secret_(secret),
      sink_(sink),
      error_(error),
      unreadableSite_(unreadableSite),
      contentLimit_(contentLimit) {}

bool EncryptedDataStream::Feed(const unsigned char* bytes, std::size_t length) {
  for (;;) {
    if (step_ == Step::kFailed || step_ == Step::kDone) break;
    const Step before = step_;
    const int depthBefore = depth_;
    std::size_t used = Advance(bytes, length);
    bytes += used;
    length -= used;
    position_ += used;
    if (used == 0 && step_ == before && depth_ == depthBefore) break;  // needs more bytes
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

// One step of the body's grammar over the bytes at position_: returns how
// many it used. A step that needs more bytes uses them all.
std::size_t EncryptedDataStream::Advance(const unsigned char* bytes, std::size_t length) {
  bool complete = false;
  std::size_t used = 0;
  switch (step_) {
    case Step::kBody:
    case Step::kInfo:
      used = ReadHeader(bytes, length, &complete);
      if (complete && Accept(header_, kSequence, true) && Push(header_))
        step_ = step_ == Step::kBody ? Step::kVersion : Step::kContentType;
      return used;
    case Step::kVersion:
    case Step::kContentType:
    case Step::kAlgorithm:
      used = ReadElement(bytes, length, &complete);
      if (complete && CheckElement()) {
        step_ = step_ == Step::kVersion       ? Step::kInfo
                : step_ == Step::kContentType ? Step::kAlgorithm
                                              : Step::kContent;
      }
      return used;
    case Step::kContent:
      if (AtFrameEnd()) {
        Fail(kSiteDecryptNoContent);
        return 0;
      }
      used = ReadHeader(bytes, length, &complete);
      if (!complete) return used;
      if (IsEndOfContents()) {
        Fail(kSiteDecryptNoContent);
      } else if (header_.identifier == kContentPrimitive) {
        contentDepth_ = depth_;
        remaining_ = header_.length;
        if (Accept(header_, kContentPrimitive, false) && StartContent())
          step_ = Step::kContentBytes;
      } else if (Accept(header_, kContentSegments, true)) {
        contentDepth_ = depth_;
        if (StartContent() && Push(header_)) step_ = Step::kSegment;
      }
      return used;
    case Step::kSegment:
      if (!AtFrameEnd()) {
        used = ReadHeader(bytes, length, &complete);
        if (!complete) return used;
        if (header_.identifier == kOctetString) {
          remaining_ = header_.length;
          if (Accept(header_, kOctetString, false)) step_ = Step::kContentBytes;
          return used;
        }
        if (!IsEndOfContents()) {
          if (!Accept(header_, kOctetStringSegments, true)) return used;
          if (depth_ - contentDepth_ > kMaxSegmentNesting) {
            FailUnreadable();
          } else {
            Push(header_);
          }
          return used;
        }
      }
      --depth_;  // this run of segments is complete
      if (depth_ == contentDepth_) step_ = Step::kInfoEnd;
      return used;
    case Step::kContentBytes:
      used = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, length));
      if (used > 0 && !Decrypt(bytes, used)) return used;
      remaining_ -= used;
      if (remaining_ == 0) step_ = depth_ > contentDepth_ ? Step::kSegment : Step::kInfoEnd;
      return used;
    case Step::kInfoEnd:
    case Step::kBodyEnd:
      if (!AtFrameEnd()) {
        if (!frames_[depth_ - 1].indefinite) {
          FailUnreadable();  // more elements than the syntax has
          return 0;
        }
        used = ReadHeader(bytes, length, &complete);
        if (!complete) return used;
        if (!IsEndOfContents()) {
          FailUnreadable();
          return used;
        }
      }
      --depth_;
      if (step_ == Step::kInfoEnd) {
        step_ = Step::kBodyEnd;
      } else if (FinishCipher()) {
        step_ = Step::kDone;
      }
      return used;
    case Step::kDone:
    case Step::kFailed:
      return 0;
  }
  return 0;
}

// Collects one identifier and length. Only the short tag form occurs in this
// syntax; lengths of up to eight octets are read, none is trusted yet.
std::size_t EncryptedDataStream::ReadHeader(const unsigned char* bytes, std::size_t length,
                                            bool* complete) {
  std::size_t used = 0;
  *complete = false;
  while (used < length) {
    headerBytes_[headerHave_++] = bytes[used++];
    if (headerHave_ == 1) {
      if ((headerBytes_[0] & 0x1F) == 0x1F) {
        FailUnreadable();
        return used;
      }
      continue;
    }
    const unsigned char first = headerBytes_[1];
    std::size_t need = first < 0x80 || first == 0x80 ? 2 : 2 + std::size_t{first & 0x7Fu};
    if (first > 0x88) {
      FailUnreadable();
      return used;
    }
    if (headerHave_ < need) continue;
    header_ = Header{};
    header_.identifier = headerBytes_[0];
    header_.indefinite = first == 0x80;
    if (first < 0x80) header_.length = first;
    for (std::size_t i = 2; i < need; ++i) header_.length = header_.length << 8 | headerBytes_[i];
    headerHave_ = 0;
    if (header_.length > kLengthLimit) {
      FailUnreadable();
      return used;
    }
    // The header, and a definite content, must lie inside every enclosing
    // definite length.
    const std::uint64_t after = position_ + used;
    for (int i = depth_ - 1; i >= 0; --i) {
      if (frames_[i].indefinite) continue;
      if (after > frames_[i].end ||
          (!header_.indefinite && header_.length > frames_[i].end - after)) {
        FailUnreadable();
        return used;
      }
      break;  // inner definite ends lie inside the outer ones
    }
    headerEnd_ = after;
    *complete = true;
    return used;
  }
  return used;
}

// A whole small element, header and content, into the window.
std::size_t EncryptedDataStream::ReadElement(const unsigned char* bytes, std::size_t length,
                                             bool* complete) {
  std::size_t used = 0;
  *complete = false;
  if (!elementStarted_) {
    bool headerComplete = false;
    const std::size_t before = headerHave_;
    used = ReadHeader(bytes, length, &headerComplete);
    if (step_ == Step::kFailed) return used;
    if (!headerComplete) return used;
    const std::size_t headerLength = before + used;
    if (header_.indefinite || header_.length > kElementWindow - headerLength) {
      FailUnreadable();  // far larger than any header element
      return used;
    }
    std::copy(headerBytes_, headerBytes_ + headerLength, element_);
    elementHave_ = headerLength;
    elementSize_ = headerLength + static_cast<std::size_t>(header_.length);
    elementStarted_ = true;
  }
  const std::size_t take = std::min(elementSize_ - elementHave_, length - used);
  std::copy(bytes + used, bytes + used + take, element_ + elementHave_);
  elementHave_ += take;
  used += take;
  if (elementHave_ == elementSize_) {
    elementStarted_ = false;
    *complete = true;
  }
  return used;
}

// The end-of-contents marker that closes an indefinite length, where one may stand.
bool EncryptedDataStream::IsEndOfContents() const {
  return frames_[depth_ - 1].indefinite && header_.identifier == 0 && !header_.indefinite &&
         header_.length == 0;
}

bool EncryptedDataStream::Accept(const Header& header, unsigned char identifier,
                                 bool allowIndefinite) {
  const bool constructed = (identifier & kConstructed) != 0;
  if (header.identifier != identifier ||
      (header.indefinite && (!allowIndefinite || !constructed))) {
    FailUnreadable();
    return false;
  }
  return true;
}

bool EncryptedDataStream::Push(const Header& header) {
  if (depth_ == kMaxFrames) {
    FailUnreadable();
    return false;
  }
  frames_[depth_++] = Frame{header.indefinite, header.indefinite ? 0 : headerEnd_ + header.length};
  return true;
}

// Whether the innermost frame is of definite length and ends here.
bool EncryptedDataStream::AtFrameEnd() const {
  const Frame& frame = frames_[depth_ - 1];
  return !frame.indefinite && headerHave_ == 0 && position_ == frame.end;
}

// The version and the content type are checked by the library's own decoders,
// as is the algorithm identifier, whose cipher must be registered.
bool EncryptedDataStream::CheckElement() {
  const unsigned char* p = element_;
  const long size = static_cast<long>(elementSize_);
  bool valid = false;
  if (step_ == Step::kVersion && element_[0] == kInteger) {
    UniquePtr<ASN1_STRING> value(d2i_ASN1_INTEGER(nullptr, &p, size));
    valid = value != nullptr && p == element_ + elementSize_;
  } else if (step_ == Step::kContentType && element_[0] == kObject) {
    UniquePtr<ASN1_OBJECT> value(d2i_ASN1_OBJECT(nullptr, &p, size));
    valid = value != nullptr && p == element_ + elementSize_;
  } else if (step_ == Step::kAlgorithm && element_[0] == kSequence) {
    UniquePtr<X509_ALGOR> algorithm(d2i_X509_ALGOR(nullptr, &p, size));
    if (algorithm != nullptr && p == element_ + elementSize_) {
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

// The sender's initial vector in the algorithm identifier is not used: the
// session's own is. The library strips the padding at the end.
bool EncryptedDataStream::StartContent() {
  if (!CoversCipher(cipher_.get(), secret_, error_)) {
    step_ = Step::kFailed;
    return false;
  }
  context_.reset(EVP_CIPHER_CTX_new());
  if (context_ == nullptr ||
      EVP_DecryptInit_ex2(context_.get(), cipher_.get(), secret_.key, secret_.iv, nullptr) != 1) {
    Fail(kSiteDecryptCipherFailed);
    return false;
  }
  return true;
}

bool EncryptedDataStream::Decrypt(const unsigned char* bytes, std::size_t length) {
  if (length > contentLimit_ - std::min(contentSeen_, contentLimit_)) {
    Fail(kSiteDecryptOutputTooSmall);
    return false;
  }
  contentSeen_ += length;
  for (std::size_t done = 0; done < length;) {
    const int slice = static_cast<int>(std::min(kSlice, length - done));
    int written = 0;
    if (EVP_DecryptUpdate(context_.get(), plain_, &written, bytes + done, slice) != 1) {
      Fail(kSiteDecryptCipherFailed);
      return false;
    }
    if (written > 0 && !sink_.Take(plain_, static_cast<std::size_t>(written))) {
      Fail(kSiteDecryptOutputTooSmall);
      return false;
    }
    done += static_cast<std::size_t>(slice);
  }
  return true;
}

// A final block whose padding does not check out writes nothing, and the
// plaintext before it still counts. Those entries are dropped so no later
// record shows them.
bool EncryptedDataStream::FinishCipher() {
  ERR_set_mark();
  int last = 0;
  if (EVP_DecryptFinal_ex(context_.get(), plain_, &last) != 1) last = 0;
  ERR_pop_to_mark();
  if (last > 0 && !sink_.Take(plain_, static_cast<std::size_t>(last))) {
    Fail(kSiteDecryptOutputTooSmall);
    return false;
  }
  return true;
}

void EncryptedDataStream::Fail(int site) {
  step_ = Step::kFailed;
  if (error_ == nullptr) return;
  switch (site) {
    case kSiteDecryptNoContent:
      SetCryptoFailure(error_, "EncryptedData without encrypted content", PlaceStyle::kPaddedLine,
                       kCryptoTag, site);
      return;
    case kSiteDecryptOutputTooSmall: {
      char message[kCryptoTextSize];
      std::snprintf(message, sizeof message,
                    "Encrypted content beyond the %llu bytes the output takes",
                    static_cast<unsigned long long>(contentLimit_));
      SetCryptoFailure(error_, message, PlaceStyle::kPaddedLine, kCryptoTag, site);
      return;
    }
    default:
      FormatCryptoError(error_, kCryptoTag, site);
  }
}

void EncryptedDataStream::FailUnreadable() {
  ERR_raise(ERR_LIB_ASN1, ASN1_R_BAD_OBJECT_HEADER);
  Fail(unreadableSite_);
}

}  // namespace dovrel
