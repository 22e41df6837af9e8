// The PKCS#7 readers on any input, PEM or DER: the encrypted file data, the
// server's signed data and its SERVER_SIGNED_DATA text. Outputs stay inside
// their capacities; a failure leaves terminated texts in the error record.
#include <cstring>
#include <vector>

#include "pkcs7/pkcs7.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

void CheckRecord(const dovrel::CryptoErrorRecord& record) {
  if (!std::memchr(record.message, '\0', sizeof record.message) ||
      !std::memchr(record.place, '\0', sizeof record.place))
    dovrel::fuzz::Fail("the error record is not terminated");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovrel;
  fuzz::FuzzInput input(data, size);
  const std::uint8_t mode = input.Byte();
  const int armour = (mode & 1) ? kArmourDer : kArmourPem;
  const std::size_t capacity = 1 + input.Byte() * 64u;
  const std::string body = input.Rest();
  CryptoErrorRecord record;
  std::memset(&record, 0x5A, sizeof record);

  switch ((mode >> 1) % 3) {
    case 0: {
      static const unsigned char kKey[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
      static const unsigned char kIv[8] = {8, 7, 6, 5, 4, 3, 2, 1};
      std::vector<unsigned char> out(capacity + 1, 0xA5);
      const std::ptrdiff_t n = DecryptEncryptedData(body.data(), body.size(), armour, kKey, 16, kIv,
                                                    8, out.data(), capacity, &record);
      if (out[capacity] != 0xA5) fuzz::Fail("DecryptEncryptedData wrote past its capacity");
      if (n > static_cast<std::ptrdiff_t>(capacity))
        fuzz::Fail("plaintext longer than the capacity");
      if (n < 0) CheckRecord(record);
      break;
    }
    case 1: {
      std::vector<char> out(capacity + 1, '\x5A');
      const std::ptrdiff_t n =
          ExtractCertificate(body.data(), body.size(), armour, out.data(), capacity, &record);
      if (out[capacity] != '\x5A') fuzz::Fail("ExtractCertificate wrote past its capacity");
      if (n >= static_cast<std::ptrdiff_t>(capacity) || (n >= 0 && out[n] != '\0'))
        fuzz::Fail("ExtractCertificate's length or terminator is wrong");
      if (n < 0) CheckRecord(record);
      break;
    }
    default: {
      std::vector<char> name(129, '\x5A');
      std::vector<char> certificate(capacity + 1, '\x5A');
      const int result = ReadServerCertificate(body.data(), body.size(), name.data(), 128,
                                               certificate.data(), capacity, &record);
      if (name[128] != '\x5A' || certificate[capacity] != '\x5A')
        fuzz::Fail("ReadServerCertificate wrote past a capacity");
      if (result != 0 && result != -1)
        fuzz::Fail("ReadServerCertificate's result is neither 0 nor -1");
      if (result < 0) CheckRecord(record);
      break;
    }
  }
  return 0;
}
