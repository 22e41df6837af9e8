#pragma once
// The client's KEYEXCHG envelope: a PEM "PKCS7 ENVELOPED DATA" body sealed
// for the server's certificate, holding the Key text
// "sessionkey=<32 hex digits>&initvector=<16 hex digits>".

#include <string>
#include <string_view>

#include "server/credentials.h"
#include "server/session_table.h"

namespace dovrel::server {

inline constexpr char kEnvelopedDataLabel[] = "PKCS7 ENVELOPED DATA";

// The session key and initial vector out of a Key text. Digits in either
// case; exactly 32 and 16 of them.
bool ParseKeyText(std::string_view text, SessionKeys* keys);

// Opens the envelope with the server's private key and reads the Key text in it.
bool OpenKeyEnvelope(std::string_view pem, const ServerCredentials& credentials, SessionKeys* keys,
                     std::string* error);

}  // namespace dovrel::server
