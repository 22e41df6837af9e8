#include "session/server_pins.h"

#include <algorithm>

#include "server_pins_config.h"
#include "session/certificate_fingerprints.h"
#include "session/pkcs7.h"

namespace dovrel {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

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

bool ParseFingerprint(std::string_view text, Fingerprint* fingerprint) {
  const std::size_t size = fingerprint->size();
  const bool separated = text.find(':') != std::string_view::npos;
  const std::size_t step = separated ? 3 : 2;
  if (text.size() != (separated ? size * 3 - 1 : size * 2)) return false;
  Fingerprint parsed{};
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t at = i * step;
    const int high = HexValue(text[at]);
    const int low = HexValue(text[at + 1]);
    if (high < 0 || low < 0 || (separated && i + 1 < size && text[at + 2] != ':')) return false;
    parsed[i] = static_cast<unsigned char>(high * 16 + low);
  }
  *fingerprint = parsed;
  return true;
}

std::string FormatFingerprint(const Fingerprint& fingerprint) {
  std::string text;
  for (unsigned char byte : fingerprint) {
    if (!text.empty()) text += ':';
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 15];
  }
  return text;
}

bool ServerPins::Admits(const char* certificatePem) const {
  if (!set) return true;
  CertificateFingerprints found;
  return FingerprintCertificatePem(certificatePem, &found) &&
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
