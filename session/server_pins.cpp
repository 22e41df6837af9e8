#include "session/server_pins.h"

#include <algorithm>

#include "pkcs7/certificate_fingerprints.h"
#include "server_pins_config.h"
#include "pkcs7/pkcs7.h"

namespace dovrel {
namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool Contains(const std::vector<Fingerprint>& list, const Fingerprint& fingerprint) {
  return std::find(list.begin(), list.end(), fingerprint) != list.end();
}

}  // namespace

bool ServerPins::Admits(const char* certificatePem) const {
  if (!set) return true;
  CertificateFingerprints found;
  return AdmitsFound(FingerprintCertificatePem(certificatePem, &found), found);
}

bool ServerPins::AdmitsDer(const unsigned char* der, std::size_t length) const {
  if (!set) return true;
  CertificateFingerprints found;
  return AdmitsFound(FingerprintCertificateDer(der, length, &found), found);
}

bool ServerPins::AdmitsFound(bool read, const CertificateFingerprints& found) const {
  return read &&
         (Contains(fingerprints, found.certificate) || Contains(fingerprints, found.publicKey));
}

bool PinsAdmitSignedData(const ServerPins& pins, std::string_view signedData) {
  if (!pins.set) return true;
  constexpr std::size_t kNameSize = 256;
  constexpr std::size_t kCertificateSize = 3072;
  std::vector<char> name(kNameSize, '\0');
  std::vector<char> certificate(kCertificateSize, '\0');
  CryptoErrorRecord error{};
  return ReadServerCertificate(signedData.data(), signedData.size(), name.data(), name.size(),
                               certificate.data(), certificate.size(), &error) >= 0 &&
         pins.Admits(certificate.data());
}

ServerPins ParseServerPins(std::string_view list) {
  ServerPins pins;
  pins.set = !Trimmed(list).empty();
  while (!list.empty()) {
    const std::size_t end = std::min(list.find(';'), list.find(','));
    const std::string_view entry = Trimmed(list.substr(0, end));
    Fingerprint fingerprint;
    if (!entry.empty() && ParseFingerprint(entry, &fingerprint))
      pins.fingerprints.push_back(fingerprint);
    list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
  }
  return pins;
}

ServerPins CombineServerPins(const ServerPins& build, const ServerPins& policy) {
  // Either list alone decides; with both, a policy that is set decides within
  // the build's list: its fingerprints outside that list are ignored, and when
  // none is left no server is trusted. An administrator can so drop a pin of
  // the build's, and a mistyped policy refuses servers instead of trusting all.
  if (!build.set || !policy.set) return build.set ? build : policy;
  ServerPins narrowed;
  narrowed.set = true;
  for (const Fingerprint& fingerprint : policy.fingerprints) {
    if (Contains(build.fingerprints, fingerprint) && !Contains(narrowed.fingerprints, fingerprint))
      narrowed.fingerprints.push_back(fingerprint);
  }
  return narrowed;
}

ServerPins TrustedServerPins(std::string_view policyList) {
  return CombineServerPins(ParseServerPins(kBuiltInServerPins), ParseServerPins(policyList));
}

}  // namespace dovrel
