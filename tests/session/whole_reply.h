#pragma once
// The reference for the streaming receive path: the whole-reply rules, step by
// step on a complete GET reply, with the library's own decoders.

#include <cstddef>
#include <optional>
#include <string>

#include "session/session_keys.h"

namespace dovrel::test {

struct TextSpan {
  std::size_t offset;
  std::size_t length;
};

// The text between the first BEGIN marker and the first END marker of a PEM
// EncryptedData. False when either is missing or the END marker comes before
// the body starts. Nothing past `length` is looked at.
bool FindEncryptedDataBody(const char* text, std::size_t length, TextSpan* body);

// Copies source[0, length) to `out` without its control characters (codes 0
// to 31 and 127; blanks stay) and returns the count. `out` may be `source`.
std::size_t DropControlCharacters(const char* source, std::size_t length, char* out);

std::string KeyBytes(const SessionKeys& keys);
std::string IvBytes(const SessionKeys& keys);

// Element lookup, the PEM body without its control characters, base64, the
// library's EncryptedData decoder, the cipher with its padding quirk: the
// plaintext, or nothing where the reply fails before it. The document ends
// at its first zero byte.
std::optional<std::string> WholeReplyPlaintext(const std::string& whole, const SessionKeys& keys);

// file_size and file_contents on a complete plaintext: the file's bytes as
// stored (CR LF in text mode), or nothing when the item fails.
std::optional<std::string> FileFromPlaintext(const std::string& plain, bool textMode);

inline std::optional<std::string> WholeReplyFile(const std::string& reply, const SessionKeys& keys,
                                                 bool textMode) {
  const std::optional<std::string> plain = WholeReplyPlaintext(reply, keys);
  return plain ? FileFromPlaintext(*plain, textMode) : std::nullopt;
}

}  // namespace dovrel::test
