#include "session/server_pins.h"

#include <gtest/gtest.h>

#include <openssl/pem.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pkcs7/certificate_fingerprints.h"
#include "pkcs7/crypto_ptr.h"

namespace dovrel {
namespace {

// A fixed certificate and its fingerprints as the openssl tool gives them:
// `x509 -fingerprint -sha256`, and the SHA-256 of `pkey -pubin -outform DER`.
constexpr char kCertificate[] =
    "-----BEGIN CERTIFICATE-----\n"
    "MIIBijCCAS+gAwIBAgIUVM5joruf6RyEIDbDojx37aztIGwwCgYIKoZIzj0EAwIw\n"
    "GTEXMBUGA1UEAwwOcGlubmVkLmV4YW1wbGUwIBcNMjYxMjA4MjIzNzA3WhgPMjEy\n"
    "NjExMTQyMjM3MDdaMBkxFzAVBgNVBAMMDnBpbm5lZC5leGFtcGxlMFkwEwYHKoZI\n"
    "zj0CAQYIKoZIzj0DAQcDQgAEQwJt2WPjI4dC8xr6ZYnwATMpjpv+VZcZyS0QUGIf\n"
    "Xxv0lNm3wjkUuStlVjgzgFiGFireXnteaUYEEa/+aTzrb6NTMFEwHQYDVR0OBBYE\n"
    "FLFh2wsGQur9ZPQagusLrF/K0vIuMB8GA1UdIwQYMBaAFLFh2wsGQur9ZPQagusL\n"
    "rF/K0vIuMA8GA1UdEwEB/wQFMAMBAf8wCgYIKoZIzj0EAwIDSQAwRgIhAO5B3gcv\n"
    "nSuVnJVygik261HilZuHaq/b6U66oC2syzLiAiEAvdx0ie9pVY93k9BkIRsrc3A0\n"
    "8x+jt2/tMlYMr1qgmuE=\n"
    "-----END CERTIFICATE-----\n";
constexpr char kCertificatePin[] =
    "A0:C4:F0:87:4B:17:93:BC:EB:6F:C9:12:DC:8D:35:D0:D0:F7:3B:2F:32:90:F9:61:41:90:7F:26:68:58:A5:"
    "7F";
constexpr char kCertificatePinPlain[] =
    "a0c4f0874b1793bceb6fc912dc8d35d0d0f73b2f3290f96141907f266858a57f";
constexpr char kKeyPin[] = "b87675feaad9fed2cb6a8de8685d8a405eefc4cae2598c50115a30f37ca92036";
constexpr char kOtherPin[] = "0000000000000000000000000000000000000000000000000000000000000001";
constexpr char kAnotherPin[] = "1111111111111111111111111111111111111111111111111111111111111111";

// The certificate as a TLS handshake carries it.
std::vector<unsigned char> DerOf(const char* pem) {
  UniquePtr<BIO> text(BIO_new_mem_buf(pem, -1));
  UniquePtr<X509> certificate(PEM_read_bio_X509(text.get(), nullptr, nullptr, nullptr));
  unsigned char* bytes = nullptr;
  const int length = i2d_X509(certificate.get(), &bytes);
  std::vector<unsigned char> der(bytes, bytes + std::max(length, 0));
  OPENSSL_free(bytes);
  return der;
}

TEST(ServerPins, FingerprintsOfACertificateAreThoseOfItsDerAndItsPublicKey) {
  CertificateFingerprints found;
  ASSERT_TRUE(FingerprintCertificatePem(kCertificate, &found));
  EXPECT_EQ(FormatFingerprint(found.certificate), kCertificatePin);
  Fingerprint key;
  ASSERT_TRUE(ParseFingerprint(kKeyPin, &key));
  EXPECT_EQ(found.publicKey, key);
  EXPECT_FALSE(FingerprintCertificatePem("no certificate", &found));

  std::vector<unsigned char> der = DerOf(kCertificate);
  CertificateFingerprints fromDer;
  ASSERT_TRUE(FingerprintCertificateDer(der.data(), der.size(), &fromDer));
  EXPECT_EQ(fromDer.certificate, found.certificate);
  EXPECT_EQ(fromDer.publicKey, found.publicKey);
  der.push_back(0);  // bytes after the certificate would be fingerprinted as it
  EXPECT_FALSE(FingerprintCertificateDer(der.data(), der.size(), &fromDer));
}

struct PinCase {
  const char* list;
  bool admitted;
};

class PinnedCertificate : public ::testing::TestWithParam<PinCase> {};

TEST_P(PinnedCertificate, IsAdmittedOnlyByItsOwnFingerprints) {
  const ServerPins pins = ParseServerPins(GetParam().list);
  EXPECT_EQ(pins.Admits(kCertificate), GetParam().admitted) << GetParam().list;
  const std::vector<unsigned char> der = DerOf(kCertificate);
  EXPECT_EQ(pins.AdmitsDer(der.data(), der.size()), GetParam().admitted) << GetParam().list;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PinnedCertificate,
    ::testing::Values(
        PinCase{"", true},      // no list: any server, as without pinning
        PinCase{" \t ", true},  // blanks only are no list either
        PinCase{kCertificatePin, true}, PinCase{kCertificatePinPlain, true},
        PinCase{"A0C4F0874B1793BCEB6FC912DC8D35D0D0F73B2F3290F96141907F266858A57F", true},
        PinCase{kKeyPin, true},
        PinCase{"0000000000000000000000000000000000000000000000000000000000000001 ; "
                "b87675feaad9fed2cb6a8de8685d8a405eefc4cae2598c50115a30f37ca92036",
                true},
        PinCase{"0000000000000000000000000000000000000000000000000000000000000001,"
                "a0c4f0874b1793bceb6fc912dc8d35d0d0f73b2f3290f96141907f266858a57f",
                true},
        PinCase{kOtherPin, false},  // a wrong pin
        // Malformed text trusts nothing rather than everything.
        PinCase{"a0c4f0874b1793bceb6fc912dc8d35d0d0f73b2f3290f96141907f266858a57", false},
        PinCase{"a0c4f0874b1793bceb6fc912dc8d35d0d0f73b2f3290f96141907f266858a57f0", false},
        PinCase{"g0c4f0874b1793bceb6fc912dc8d35d0d0f73b2f3290f96141907f266858a57f", false},
        PinCase{"A0:C4F0:87:4B:17:93:BC:EB:6F:C9:12:DC:8D:35:D0:D0:F7:3B:2F:32:90:F9:61:41:90:7F:"
                "26:68:58:A5:7F:",
                false},
        PinCase{"sha256//oMTwh0sXk7zrb8kS3I010ND3Oy8ykPlhQZB/JmhYpX8=", false},
        PinCase{";", false}));

TEST(ServerPins, ACertificateThatCannotBeReadIsNotAdmittedByAList) {
  EXPECT_FALSE(ParseServerPins(kKeyPin).Admits("-----BEGIN CERTIFICATE-----\nAAAA\n"));
  EXPECT_TRUE(ParseServerPins("").Admits("-----BEGIN CERTIFICATE-----\nAAAA\n"));
}

struct CombineCase {
  const char* build;
  const char* policy;
  bool set;
  const char* expected;  // the fingerprints that result, in order
};

class CombinedPins : public ::testing::TestWithParam<CombineCase> {};

TEST_P(CombinedPins, ASetPolicyDecidesWithinTheBuildsList) {
  const CombineCase& c = GetParam();
  const ServerPins combined =
      CombineServerPins(ParseServerPins(c.build), ParseServerPins(c.policy));
  EXPECT_EQ(combined.set, c.set);
  EXPECT_EQ(combined.fingerprints, ParseServerPins(c.expected).fingerprints);
}

const std::string kBoth = std::string(kKeyPin) + ";" + kOtherPin;
const std::string kOutsideAndKey = std::string(kAnotherPin) + "," + kKeyPin;

INSTANTIATE_TEST_SUITE_P(
    Sources, CombinedPins,
    ::testing::Values(CombineCase{"", "", false, ""},               // neither: any server
                      CombineCase{kKeyPin, "", true, kKeyPin},      // the build's list alone
                      CombineCase{"", kOtherPin, true, kOtherPin},  // the policy's list alone
                      CombineCase{"", "not a pin", true, ""},  // a broken policy trusts nothing
                      CombineCase{kBoth.c_str(), kOtherPin, true, kOtherPin},  // narrowed
                      // A policy pin outside the build's list is ignored.
                      CombineCase{kBoth.c_str(), kOutsideAndKey.c_str(), true, kKeyPin},
                      // Nothing of the policy's list is in the build's (a revoked pin, a
                      // typo): no server is trusted.
                      CombineCase{kKeyPin, kAnotherPin, true, ""},
                      CombineCase{kKeyPin, "not a pin", true, ""}));

}  // namespace
}  // namespace dovrel
