#pragma once
// Base64 decoding, URL-style decoding, and the Option list parser.
// All work on single-byte text; high-bit characters pass through unchanged.

#include <cstddef>
#include <memory>

namespace dovrel {

inline constexpr int kOptionKeySize = 128;
inline constexpr int kOptionValueSize = 2048;

struct OptionEntry {
  char key[kOptionKeySize];
  char value[kOptionValueSize];
};

// A base64 decoder that takes its text in pieces, for text still arriving.
// Characters outside the alphabet are skipped; the first "=" ends the text.
// The output may overwrite the input: it never overtakes it.
class Base64Decoder {
 public:
  // Decodes text[0, length), writing this piece's bytes to out[0, capacity)
  // and their count to `produced`; false when the output does not fit or a
  // pad stands where a group has fewer than two symbols. length / 4 * 3 + 3
  // bytes always fit.
  bool Feed(const char* text, std::size_t length, unsigned char* out, std::size_t capacity,
            std::size_t* produced);
  std::size_t Written() const { return written_; }  // over all pieces

 private:
  std::size_t symbols_ = 0;
  std::size_t written_ = 0;
  unsigned pending_ = 0;
  bool ended_ = false;
};

// Decodes `length` characters of base64 (stopping early at a zero or the first
// "="), skipping characters outside the alphabet. Writes at most `capacity`
// bytes to `out`, which may be `text` itself: the output never overtakes the
// input. Returns the byte count, or -1 when a pad stands where a group has
// fewer than two symbols or the output does not fit.
std::ptrdiff_t DecodeBase64Into(const char* text, std::size_t length, unsigned char* out,
                                std::size_t capacity);

// The same into a new buffer; nothing on failure. `count` receives the size.
std::unique_ptr<unsigned char[]> DecodeBase64(const char* text, std::size_t length,
                                              std::size_t* count);

// The value of one hexadecimal digit in either case, or -1.
int HexDigitValue(char c);

// "+" becomes a blank and "%XY" the byte 0xXY; a "%" without two hexadecimal
// digits after it is copied as it stands. Writes at most capacity - 1
// characters and a zero; returns the number written before the zero.
int DecodeUrlText(const char* source, char* destination, std::size_t capacity);

// Splits `length` characters of "&"-joined pairs into at most `maximum`
// entries, splitting before decoding. Over-long keys and values are cut to
// their fields. Returns the number of entries filled.
int ParseOptionList(const char* text, std::size_t length, OptionEntry* entries, int maximum);

void ClearOptionList(OptionEntry* entries, int count);

}  // namespace dovrel
