#pragma once
// GET replies made by the test itself, for a scripted server: the plaintext
// (normally "file_size=N&file_contents=" and the bytes) encrypted with
// CAST5-CBC as a PEM "PKCS7 ENCRYPTED DATA" body inside a reply document.

#include <string>

#include "session/session_keys.h"

namespace dovrel::test {

// Test keys: a fixed session key and initial vector with a short SKEY.
SessionKeys FixedKeys();

// With `pad` false the plaintext (a whole number of blocks) is encrypted as
// it is, so its last block decides whether the padding checks out.
std::string EncryptedDataPem(const std::string& plaintext, const SessionKeys& keys, bool pad = true);

// A whole reply document with RESULT_CODE 0000 and ENC_DATA.
std::string GetReply(const std::string& plaintext, const SessionKeys& keys);

// "file_size=N&file_contents=" followed by the bytes.
std::string FilePlaintext(const std::string& bytes);

}  // namespace dovrel::test
