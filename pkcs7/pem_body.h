#pragma once
// The marker lines around the base64 body of a PEM-armoured EncryptedData.

namespace dovrel {

inline constexpr char kEncryptedDataBegin[] = "-----BEGIN PKCS7 ENCRYPTED DATA-----";
inline constexpr char kEncryptedDataEnd[] = "-----END PKCS7 ENCRYPTED DATA-----";

}  // namespace dovrel
