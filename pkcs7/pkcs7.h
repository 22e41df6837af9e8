#pragma once
// The PKCS#7 operations of the secure session: the server's certificate out of
// its signed data, the envelope that carries the session key to the server,
// and the decryption of the files the server sends under that key.
//
// Every operation returns a count (0 or more) or -1, and on failure describes
// it in the caller's Crypto error record. Every output takes its capacity and
// nothing is written past it. Bodies are the PKCS#7 content structures
// themselves (SignedData, EnvelopedData, EncryptedData), not ContentInfo.

#include <cstddef>

#include "pkcs7/crypto_error.h"

namespace dovrel {

// The Armour selector: how a body is carried.
inline constexpr int kArmourPem = 0;  // base64 between BEGIN and END lines naming the label
inline constexpr int kArmourDer = 1;  // the raw DER bytes

inline constexpr char kSignedDataLabel[] = "PKCS7 SIGNED DATA";
inline constexpr char kEnvelopedDataLabel[] = "PKCS7 ENVELOPED DATA";
inline constexpr char kEncryptedDataLabel[] = "PKCS7 ENCRYPTED DATA";

// The server's SERVER_SIGNED_DATA value: a Parameter text with "dn" (copied to
// `name`, cut to its capacity) and "certList" (PEM "PKCS7 SIGNED DATA" whose
// last certificate is the server's, written to `certificate` as PEM text).
// Returns 0 or -1.
int ReadServerCertificate(const char* text, std::size_t length, char* name,
                          std::size_t nameCapacity, char* certificate,
                          std::size_t certificateCapacity, CryptoErrorRecord* error);

// Opens a SignedData body and writes its last certificate as zero-terminated
// PEM text. Signatures are not verified: the signed data only carries the
// certificate. Returns the PEM length, or -1 (also when `certificate` is null,
// the set is empty, or the PEM text does not fit in capacity - 1).
std::ptrdiff_t ExtractCertificate(const char* data, std::size_t length, int armour,
                                  char* certificate, std::size_t capacity,
                                  CryptoErrorRecord* error);

// Seals `plaintext` in an EnvelopedData body for the one recipient named by
// the zero-terminated PEM certificate, content cipher CAST5-CBC. Armour 0
// writes zero-terminated PEM text, armour 1 the DER bytes. Returns the output
// length, or -1 (also when the PEM text and its zero, or the DER bytes, would
// not fit in `capacity`: the output is never cut).
std::ptrdiff_t SealEnvelope(const char* certificate, const char* plaintext,
                            std::size_t plaintextLength, char* output, std::size_t capacity,
                            int armour, CryptoErrorRecord* error);

// Decrypts an EncryptedData body (DER, or BER with indefinite lengths and
// the content in segments) with the given key and initial vector, under the
// cipher that the body names (the initial vector inside the body is not
// used). A cipher needing more key or initial-vector bytes than given is
// refused, and so is encrypted content longer than `capacity`: the plaintext
// is never longer than it. A final block whose padding does not check out is
// left out without failing the call. The output is not terminated. Returns
// the plaintext length, or -1.
std::ptrdiff_t DecryptEncryptedData(const char* data, std::size_t length, int armour,
                                    const unsigned char* key, std::size_t keyLength,
                                    const unsigned char* iv, std::size_t ivLength,
                                    unsigned char* output, std::size_t capacity,
                                    CryptoErrorRecord* error);

}  // namespace dovrel
