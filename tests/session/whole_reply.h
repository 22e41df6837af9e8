#pragma once
// The reference for the streaming receive path: the whole-reply rules, step by
// step on a complete GET reply, with the library's own decoders.

#include <optional>
#include <string>

#include "session/session_keys.h"

namespace dovrel::test {

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
