#pragma once
// The framing of a BER body read as its bytes arrive: identifiers and lengths,
// the definite and indefinite lengths that enclose the reading position, and
// small elements gathered whole into a window. It knows no syntax: its caller
// walks one. No length is trusted before it has been checked against every
// definite length around it.

#include <cstddef>
#include <cstdint>

namespace dovrel {

class BerReader {
 public:
  // The largest element ReadElement gathers, header included.
  static constexpr std::size_t kElementWindow = 16384;

  enum class Status { kMore, kComplete, kMalformed };
  struct Header {
    unsigned char identifier = 0;
    bool indefinite = false;
    std::uint64_t length = 0;
  };

  // Counts bytes the caller has used, whatever read them: the position in
  // the body that lengths are measured from.
  void Pass(std::size_t used) { position_ += used; }

  // Collects one identifier and length; returns how many bytes it used. A
  // header needing more bytes uses them all and says kMore.
  std::size_t ReadHeader(const unsigned char* bytes, std::size_t length, Status* status);
  // Collects one whole small element, header and content, into the window.
  std::size_t ReadElement(const unsigned char* bytes, std::size_t length, Status* status);
  const Header& LastHeader() const { return header_; }
  const unsigned char* Element() const { return element_; }
  std::size_t ElementSize() const { return elementSize_; }

  // The last header is `identifier`, and indefinite only where that is
  // allowed and the element is constructed.
  bool Is(unsigned char identifier, bool allowIndefinite) const;
  // The last header is the end-of-contents marker of the innermost frame.
  bool IsEndOfContents() const;

  // Makes the last header the innermost frame; false when too many are open.
  bool Open();
  // The innermost frame has ended.
  void Close() { --depth_; }
  int Depth() const { return depth_; }
  bool InIndefinite() const { return frames_[depth_ - 1].indefinite; }
  // The innermost frame has a definite length and ends here.
  bool AtFrameEnd() const;

 private:
  struct Frame {
    bool indefinite;
    std::uint64_t end;  // for a definite length: the position just past it
  };
  static constexpr int kMaxFrames = 8;  // body, info and up to five nested segments

  bool Encloses(std::uint64_t after) const;

  std::uint64_t position_ = 0;
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
};

}  // namespace dovrel
