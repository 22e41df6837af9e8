#include "session/server_pins.h"

#include <algorithm>

#include "pkcs7/certificate_fingerprints.h"
#include "server_pins_config.h"

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
  return FingerprintCertificatePem(certificatePem, &found) &&
         (Contains(fingerprints, found.certificate) || Contains(fingerprints, found.publicKey));
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
  // Either list alone decides; with both, the policy may only narrow the
  // build's list: its fingerprints outside that list are ignored, and when
  // none is left the build's list stands.
  if (!build.set) return policy;
  ServerPins narrowed;
  narrowed.set = true;
  for (const Fingerprint& fingerprint : policy.fingerprints) {
    if (Contains(build.fingerprints, fingerprint) && !Contains(narrowed.fingerprints, fingerprint))
      narrowed.fingerprints.push_back(fingerprint);
  }
  return narrowed.fingerprints.empty() ? build : narrowed;
}

ServerPins TrustedServerPins(std::string_view policyList) {
  return CombineServerPins(ParseServerPins(kBuiltInServerPins), ParseServerPins(policyList));
}

}  // namespace dovrel
