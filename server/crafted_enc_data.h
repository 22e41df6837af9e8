#pragma once
// Hand-made ENC_DATA texts for the encdata fault switch, so that clients can
// be tested against every way a file's encrypted data can be wrong. Each
// shape starts from the real plaintext ("file_size=N&file_contents=" and the
// file's bytes) under the session's key:
//   nomarkers        the base64 lines without the BEGIN and END lines
//   reversed         the END line first, the BEGIN line last
//   badbase64        a pad where a group has only one symbol
//   garbage          well-formed armour around bytes that are not DER
//   cipher:NAME      the data names another cipher: aes256 and des3 need more
//                    key than a session has, unknown is no cipher at all
//   badpad           one more block whose padding is wrong
//   plain:TEXT       TEXT (percent-decoded) as the plaintext instead

#include <optional>
#include <string>
#include <string_view>

#include "server/session_table.h"

namespace dovrel::server {

// The ENC_DATA text, or nothing (with `error` set) for an unknown shape.
std::optional<std::string> CraftEncData(std::string_view shape, std::string_view argument,
                                        std::string plaintext, const SessionKeys& keys,
                                        std::string* error);

}  // namespace dovrel::server
