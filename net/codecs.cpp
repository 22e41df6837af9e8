#include "net/codecs.h"

#include <cstring>
#include <new>

namespace dovrel {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kPairBufferSize = 10240;

struct SymbolTable {
  signed char value[256];
  constexpr SymbolTable() : value() {
    for (int i = 0; i < 256; ++i) value[i] = -1;
    for (int i = 0; i < 64; ++i)
      value[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
  }
};
constexpr SymbolTable kSymbols;

// Decodes source[0, length) into a field of `capacity` bytes; over-long text is cut.
void DecodeInto(const char* source, std::size_t length, char* field, std::size_t capacity) {
  char pair[kPairBufferSize];
  if (length >= sizeof pair) length = sizeof pair - 1;
  std::memcpy(pair, source, length);
  pair[length] = '\0';
  DecodeUrlText(pair, field, capacity);
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Base64Decoder::Feed(const char* text, std::size_t length, unsigned char* out,
                         std::size_t capacity, std::size_t* produced) {
  std::size_t j = 0;
  bool fits = true;
  for (std::size_t i = 0; i < length && !ended_ && fits; ++i) {
    if (text[i] == '=') {
      ended_ = true;
      if (symbols_ % 4 < 2) {  // a pad where a group has fewer than two symbols
        *produced = j;
        written_ += j;
        return false;
      }
      break;
    }
    // -1 in the table marks a non-symbol.
    // NOLINTNEXTLINE(bugprone-signed-char-misuse,cert-str34-c)
    int v = kSymbols.value[static_cast<unsigned char>(text[i])];
    if (v < 0) continue;  // line breaks, blanks and anything else are skipped
    const unsigned symbol = static_cast<unsigned>(v);
    switch (symbols_++ % 4) {
      case 0:
        pending_ = symbol << 2;
        continue;
      case 1:
        fits = j < capacity;
        if (fits) out[j++] = static_cast<unsigned char>(pending_ | (symbol >> 4));
        pending_ = (symbol << 4) & 0xFF;
        continue;
      case 2:
        fits = j < capacity;
        if (fits) out[j++] = static_cast<unsigned char>(pending_ | (symbol >> 2));
        pending_ = (symbol << 6) & 0xFF;
        continue;
      default:
        fits = j < capacity;
        if (fits) out[j++] = static_cast<unsigned char>(pending_ | symbol);
        continue;
    }
  }
  *produced = j;
  written_ += j;
  return fits;
}

std::ptrdiff_t DecodeBase64Into(const char* text, std::size_t length, unsigned char* out,
                                std::size_t capacity) {
  // The text ends at its terminating zero, if that comes first.
  const void* zero = std::memchr(text, '\0', length);
  if (zero != nullptr) length = static_cast<std::size_t>(static_cast<const char*>(zero) - text);
  Base64Decoder decoder;
  std::size_t count = 0;
  if (!decoder.Feed(text, length, out, capacity, &count)) return -1;
  return static_cast<std::ptrdiff_t>(count);
}

std::unique_ptr<unsigned char[]> DecodeBase64(const char* text, std::size_t length,
                                              std::size_t* count) {
  if (text == nullptr) return nullptr;
  std::size_t capacity = length / 4 * 3 + 3;  // no overflow for any length
  std::unique_ptr<unsigned char[]> out(new (std::nothrow) unsigned char[capacity + 1]);
  if (!out) return nullptr;
  std::ptrdiff_t n = DecodeBase64Into(text, length, out.get(), capacity);
  if (n < 0) return nullptr;
  out[static_cast<std::size_t>(n)] = 0;
  if (count != nullptr) *count = static_cast<std::size_t>(n);
  return out;
}

int DecodeUrlText(const char* source, char* destination, std::size_t capacity) {
  if (destination == nullptr || capacity == 0) return 0;
  std::size_t j = 0;
  for (std::size_t i = 0; source != nullptr && source[i] != '\0' && j + 1 < capacity; ++i) {
    char c = source[i];
    if (c == '+') {
      c = ' ';
    } else if (c == '%') {
      // Both digits must be there: a short escape at the end is copied as is,
      // and the walk never passes the terminating zero.
      int high = HexDigitValue(source[i + 1]);
      int low = high < 0 ? -1 : HexDigitValue(source[i + 2]);
      if (low >= 0) {
        c = static_cast<char>(high * 16 + low);
        i += 2;
      }
    }
    destination[j++] = c;
  }
  destination[j] = '\0';
  return static_cast<int>(j);
}

int ParseOptionList(const char* text, std::size_t length, OptionEntry* entries, int maximum) {
  if (text == nullptr || entries == nullptr) return 0;
  const char* end = text + length;
  const char* position = text;
  int count = 0;
  while (count < maximum && position < end) {
    const char* amp = static_cast<const char*>(
        std::memchr(position, '&', static_cast<std::size_t>(end - position)));
    const char* pairEnd = amp != nullptr ? amp : end;
    const char* equals = static_cast<const char*>(
        std::memchr(position, '=', static_cast<std::size_t>(pairEnd - position)));
    OptionEntry& entry = entries[count];
    if (equals != nullptr) {
      DecodeInto(position, static_cast<std::size_t>(equals - position), entry.key,
                 sizeof entry.key);
      DecodeInto(equals + 1, static_cast<std::size_t>(pairEnd - equals - 1), entry.value,
                 sizeof entry.value);
    } else {
      DecodeInto(position, static_cast<std::size_t>(pairEnd - position), entry.key,
                 sizeof entry.key);
      entry.value[0] = '\0';
    }
    position = amp != nullptr ? amp + 1 : end;
    ++count;
  }
  return count;
}

void ClearOptionList(OptionEntry* entries, int count) {
  for (int i = 0; entries != nullptr && i < count; ++i) {
    entries[i].key[0] = '\0';
    entries[i].value[0] = '\0';
  }
}

}  // namespace dovrel
