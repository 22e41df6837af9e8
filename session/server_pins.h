#pragma once
// Which servers the key exchange trusts: SHA-256 fingerprints of a server's
// certificate (DER) or of its public key (SubjectPublicKeyInfo DER). The list
// comes from the build and, on Windows, from an administrator's policy value;
// with no list, any server is trusted.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "pkcs7/certificate_fingerprints.h"
#include "pkcs7/fingerprint.h"

namespace dovrel {

struct ServerPins {
  bool set = false;  // a source gave a list: only its fingerprints are trusted
  std::vector<Fingerprint> fingerprints;

  // True when no list was given, or the PEM certificate or its public key
  // has one of the fingerprints.
  bool Admits(const char* certificatePem) const;
  // The same for a DER certificate, as a TLS handshake carries it.
  bool AdmitsDer(const unsigned char* der, std::size_t length) const;

 private:
  bool AdmitsFound(bool read, const CertificateFingerprints& found) const;
};

// True when no list was given, or the server certificate that `signedData`
// (the SERVER_SIGNED_DATA of an INIT reply) carries is admitted by `pins`.
bool PinsAdmitSignedData(const ServerPins& pins, std::string_view signedData);

// A list of fingerprints separated by ';' or ','; blanks around them do not
// count. Any text makes the list set: an entry that is not a fingerprint
// trusts nothing, so a mistyped list refuses servers instead of trusting all.
ServerPins ParseServerPins(std::string_view list);

// The build's list narrowed by the policy's.
ServerPins CombineServerPins(const ServerPins& build, const ServerPins& policy);

// The build's list narrowed by `policyList`.
ServerPins TrustedServerPins(std::string_view policyList);

// The administrator's policy value (HKLM\SOFTWARE\Policies\Dovrel, ServerPins);
// empty where there is none, and on other systems than Windows.
std::string ReadPolicyServerPins();

}  // namespace dovrel
