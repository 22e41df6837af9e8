#pragma once
// Every failure site of the PKCS#7 helpers, as numbered in the Crypto error
// record's place line, in one list so that no number is given twice. The
// numbers are part of what the record shows; they never change.

namespace dovrel {

// Decrypting EncryptedData (DecryptEncryptedData and the streaming receive).
inline constexpr int kSiteDecryptDerUnreadable = 45;
inline constexpr int kSiteDecryptPemUnreadable = 76;
inline constexpr int kSiteDecryptUnsupportedArmour = 101;
inline constexpr int kSiteDecryptCipherUnknown = 109;
inline constexpr int kSiteDecryptCipherNeedsMore = 110;
inline constexpr int kSiteDecryptOutputTooSmall = 111;
inline constexpr int kSiteDecryptNoContent = 112;
inline constexpr int kSiteDecryptCipherFailed = 113;

// Sealing the session key's envelope (SealEnvelope).
inline constexpr int kSiteSealObjectNotCreated = 146;
inline constexpr int kSiteSealBioNotCreated = 158;
inline constexpr int kSiteSealCertificateUnreadable = 164;
inline constexpr int kSiteSealRecipientNotAdded = 178;
inline constexpr int kSiteSealContentNotOpened = 189;
inline constexpr int kSiteSealContentNotFinished = 198;
inline constexpr int kSiteSealOutputBioNotCreated = 209;
inline constexpr int kSiteSealOutputTooLong = 215;
inline constexpr int kSiteSealUnsupportedArmour = 222;

// The server's certificate out of its signed data (ExtractCertificate,
// ReadServerCertificate).
inline constexpr int kSiteCertificateObjectNotCreated = 258;
inline constexpr int kSiteCertificateDerUnreadable = 268;
inline constexpr int kSiteCertificateBioNotCreated = 275;
inline constexpr int kSiteCertificatePemUnreadable = 283;
inline constexpr int kSiteCertificateUnsupportedArmour = 290;
inline constexpr int kSiteCertificateContentNotOpened = 302;
inline constexpr int kSiteCertificateTooLong = 310;
inline constexpr int kSiteCertificateNoName = 368;
inline constexpr int kSiteCertificateNotExtracted = 375;

}  // namespace dovrel
