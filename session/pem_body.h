#pragma once
// Locating and cleaning the base64 body of a PEM-armoured EncryptedData.
// The text comes from the server: every search stays inside the given length.

#include <cstddef>

namespace dovrel {

inline constexpr char kEncryptedDataBegin[] = "-----BEGIN PKCS7 ENCRYPTED DATA-----";
inline constexpr char kEncryptedDataEnd[] = "-----END PKCS7 ENCRYPTED DATA-----";

struct TextSpan {
  std::size_t offset;
  std::size_t length;
};

// The text between the first BEGIN marker and the first END marker. False
// when either is missing or the END marker comes before the body starts.
bool FindEncryptedDataBody(const char* text, std::size_t length, TextSpan* body);

// Copies source[0, length) to `out` without its control characters (codes 0
// to 31 and 127; blanks stay) and returns the count. `out` may be `source`.
std::size_t DropControlCharacters(const char* source, std::size_t length, char* out);

}  // namespace dovrel
