// The piecewise base64 decoder against the whole-text one: the same bytes
// whatever the piece boundaries, and never a byte past the output's capacity.
#include <cstring>
#include <vector>

#include "net/codecs.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovrel;
  fuzz::FuzzInput input(data, size);
  const std::size_t capacity = input.Byte() * 4u;
  const std::size_t piece = 1 + input.Byte() % 64;
  const std::string text = input.Rest();
  // The whole-text decoder stops at a zero byte; the piecewise one must see the same text.
  const std::size_t length = std::strlen(text.c_str());

  std::vector<unsigned char> whole(capacity + 1, 0xA5);
  const std::ptrdiff_t wholeCount = DecodeBase64Into(text.data(), length, whole.data(), capacity);
  if (whole[capacity] != 0xA5) fuzz::Fail("DecodeBase64Into wrote past its capacity");

  std::vector<unsigned char> pieces(capacity + 1, 0xA5);
  Base64Decoder decoder;
  bool fits = true;
  std::size_t written = 0;
  for (std::size_t at = 0; at < length && fits; at += piece) {
    const std::size_t n = length - at < piece ? length - at : piece;
    std::size_t produced = 0;
    fits =
        decoder.Feed(text.data() + at, n, pieces.data() + written, capacity - written, &produced);
    if (fits && produced > capacity - written)
      fuzz::Fail("Base64Decoder produced more than it had room for");
    if (fits) written += produced;
  }
  if (fits && written != decoder.Written()) fuzz::Fail("Base64Decoder's counts disagree");
  if (pieces[capacity] != 0xA5) fuzz::Fail("Base64Decoder wrote past its capacity");
  if (fits != (wholeCount >= 0)) fuzz::Fail("the decoders disagree on success");
  if (fits && (decoder.Written() != static_cast<std::size_t>(wholeCount) ||
               std::memcmp(whole.data(), pieces.data(), decoder.Written()) != 0))
    fuzz::Fail("the decoders disagree on the bytes");

  // Decoding over the input itself gives the same bytes.
  std::string inPlace = text;
  const std::ptrdiff_t inPlaceCount = DecodeBase64Into(
      inPlace.data(), length, reinterpret_cast<unsigned char*>(inPlace.data()), length);
  if (wholeCount >= 0 && static_cast<std::size_t>(wholeCount) <= length &&
      (inPlaceCount != wholeCount || std::memcmp(inPlace.data(), whole.data(), wholeCount) != 0))
    fuzz::Fail("decoding in place differs");

  std::size_t count = 0;
  auto copy = DecodeBase64(text.data(), length, &count);
  if (copy && wholeCount >= 0 &&
      (count != static_cast<std::size_t>(wholeCount) ||
       std::memcmp(copy.get(), whole.data(), count) != 0))
    fuzz::Fail("DecodeBase64 differs");
  return 0;
}
