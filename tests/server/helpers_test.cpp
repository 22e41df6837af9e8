// The server's pure helpers, from tables.

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/wire_text.h"
#include "server/base64_lines.h"
#include "server/encrypted_body.h"
#include "server/file_store.h"
#include "server/key_envelope.h"
#include "server/request_log.h"
#include "server/url_encode.h"

namespace dovrel::server {
namespace {

TEST(ServerUrlEncodeTest, KeepsOnlyUnreservedCharacters) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"AZaz09-._~", "AZaz09-._~"},
      {"a b+c", "a%20b%2Bc"},
      {"x=1&y/z", "x%3D1%26y%2Fz"},
      {"line\nend", "line%0Aend"},
      {"\xb0\xa1", "%B0%A1"},
      {"%", "%25"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEncode(c.in), c.out) << c.in;
}

std::string ReferenceBase64Lines(const std::string& bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 48) {
    const std::string line = bytes.substr(i, 48);
    std::string encoded(4 * ((line.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                  reinterpret_cast<const unsigned char*>(line.data()),
                                  static_cast<int>(line.size()));
    encoded.resize(static_cast<std::size_t>(n));
    out += encoded + "\n";
  }
  return out;
}

std::string EncodeInPieces(const std::string& bytes, std::size_t piece) {
  Base64LineEncoder encoder;
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += piece) {
    const std::size_t n = std::min(piece, bytes.size() - i);
    std::string chunk(Base64LineEncoder::MaxOutput(n), '\0');
    chunk.resize(
        encoder.Encode(reinterpret_cast<const unsigned char*>(bytes.data()) + i, n, chunk.data()));
    out += chunk;
  }
  std::string last(Base64LineEncoder::MaxOutput(0), '\0');
  last.resize(encoder.Finish(last.data()));
  return out + last;
}

TEST(ServerBase64LinesTest, MatchesOpenSslForEveryLengthAndPieceSize) {
  std::string bytes(300, '\0');
  RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  for (std::size_t length : {0, 1, 2, 3, 47, 48, 49, 95, 96, 97, 143, 144, 299, 300}) {
    const std::string input = bytes.substr(0, length);
    const std::string expected = ReferenceBase64Lines(input);
    EXPECT_EQ(Base64LinesLength(length), expected.size()) << length;
    for (std::size_t piece : {1, 2, 3, 5, 7, 48, 64, 1000}) {
      EXPECT_EQ(EncodeInPieces(input, piece), expected) << length << " in pieces of " << piece;
    }
  }
}

TEST(ServerEncryptedBodyTest, PaddingAlwaysAddsOneToEightBytes) {
  const struct {
    std::uint64_t plain, sealed;
  } cases[] = {{0, 8}, {1, 8}, {7, 8}, {8, 16}, {9, 16}, {26, 32}, {1048576 + 26, 1048576 + 32}};
  for (const auto& c : cases) EXPECT_EQ(PaddedLength(c.plain), c.sealed) << c.plain;
}

TEST(ServerEncryptedBodyTest, PrefixNamesTheFileSize) {
  EXPECT_EQ(FilePlaintextPrefix(0), "file_size=0&file_contents=");
  EXPECT_EQ(FilePlaintextPrefix(1048576), "file_size=1048576&file_contents=");
}

// The head with the content appended must be one EncryptedData that OpenSSL
// reads back, for content lengths across the DER length forms.
TEST(ServerEncryptedBodyTest, HeadParsesWithOpenSslAcrossLengthForms) {
  const std::array<unsigned char, kInitialVectorLength> iv = {1, 2, 3, 4, 5, 6, 7, 8};
  for (std::uint64_t length : {8u, 120u, 128u, 200u, 256u, 65536u, 70000u, 16777216u + 8u}) {
    std::string der = EncryptedDataHead(length, iv);
    der.append(static_cast<std::size_t>(length), '\x5a');
    const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der.data());
    PKCS7_ENCRYPT* data = d2i_PKCS7_ENCRYPT(nullptr, &cursor, static_cast<long>(der.size()));
    ASSERT_NE(data, nullptr) << length;
    EXPECT_EQ(cursor, reinterpret_cast<const unsigned char*>(der.data()) + der.size());
    EXPECT_EQ(ASN1_INTEGER_get(data->version), 0);
    EXPECT_EQ(OBJ_obj2nid(data->enc_data->content_type), NID_pkcs7_data);
    EXPECT_EQ(OBJ_obj2nid(data->enc_data->algorithm->algorithm), NID_cast5_cbc);
    const ASN1_TYPE* parameter = data->enc_data->algorithm->parameter;
    ASSERT_NE(parameter, nullptr);
    ASSERT_EQ(parameter->type, V_ASN1_OCTET_STRING);
    EXPECT_EQ(
        std::string(
            reinterpret_cast<const char*>(ASN1_STRING_get0_data(parameter->value.octet_string)),
            static_cast<std::size_t>(ASN1_STRING_length(parameter->value.octet_string))),
        std::string(iv.begin(), iv.end()));
    EXPECT_EQ(static_cast<std::uint64_t>(ASN1_STRING_length(data->enc_data->enc_data)), length);
    PKCS7_ENCRYPT_free(data);
  }
}

TEST(ServerEncryptedBodyTest, PemLengthCountsMarkersLinesAndLineFeeds) {
  const std::size_t markers = std::strlen(kEncryptedDataBegin) + std::strlen(kEncryptedDataEnd);
  EXPECT_EQ(EncryptedDataPemLength(48), markers + 64 + 1);
  EXPECT_EQ(EncryptedDataPemLength(49), markers + 68 + 2);
  EXPECT_EQ(EncryptedDataPemLength(96), markers + 128 + 2);
}

TEST(ServerFileNameTest, OnlyPlainNamesPass) {
  const struct {
    std::string name;
    bool plain;
  } cases[] = {
      {"a.txt", true},
      {"107abc.dat", true},
      {"with blank", true},
      {".hidden", true},
      {"", false},
      {".", false},
      {"..", false},
      {"../x", false},
      {"a/b", false},
      {"a\\b", false},
      {"/etc/passwd", false},
      {std::string("a\0b", 3), false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPlainFileName(c.name), c.plain) << c.name;
}

TEST(ServerFileNameTest, DatesAreEightDigits) {
  const struct {
    std::string text;
    bool date;
  } cases[] = {{"20240131", true},  {"00000000", true},  {"2024013", false}, {"202401311", false},
               {"abcdefgh", false}, {"2024-1-1", false}, {"../../..", false}};
  for (const auto& c : cases) EXPECT_EQ(IsDateText(c.text), c.date) << c.text;
}

TEST(ServerKeyTextTest, ReadsExactlyThirtyTwoAndSixteenHexDigits) {
  const std::string key = "00112233445566778899aabbccddeeff";
  const std::string iv = "0a1b2c3d4e5f6071";
  const struct {
    std::string text;
    bool valid;
  } cases[] = {
      {"sessionkey=" + key + "&initvector=" + iv, true},
      {"initvector=" + iv + "&sessionkey=" + key, true},
      {"sessionkey=00112233445566778899AABBCCDDEEFF&initvector=0A1B2C3D4E5F6071", true},
      {"sessionkey=" + key.substr(2) + "&initvector=" + iv, false},
      {"sessionkey=" + key + "00&initvector=" + iv, false},
      {"sessionkey=" + key + "&initvector=" + iv.substr(1) + "g", false},
      {"sessionkey=" + key, false},
      {"", false},
  };
  for (const auto& c : cases) {
    SessionKeys keys;
    EXPECT_EQ(ParseKeyText(c.text, &keys), c.valid) << c.text;
  }
  SessionKeys keys;
  ASSERT_TRUE(ParseKeyText("sessionkey=" + key + "&initvector=" + iv, &keys));
  EXPECT_EQ(keys.key[0], 0x00);
  EXPECT_EQ(keys.key[15], 0xff);
  EXPECT_EQ(keys.iv[0], 0x0a);
  EXPECT_EQ(keys.iv[7], 0x71);
}

TEST(ServerRequestLogTest, ListsTheElementsOfARequestInOrder) {
  const std::string document =
      "<?xml version=\"1.0\" "
      "encodeing=\"ISO-8859-1\"?><MORVANTA_XML><SERVICE_CODE>GET</SERVICE_CODE>"
      "<SKEY>a<b</SKEY><FILE_NAME></FILE_NAME></MORVANTA_XML>";
  const auto elements = ListElements(document);
  ASSERT_EQ(elements.size(), 3u);
  EXPECT_EQ(elements[0], std::make_pair(std::string("SERVICE_CODE"), std::string("GET")));
  EXPECT_EQ(elements[1], std::make_pair(std::string("SKEY"), std::string("a<b")));
  EXPECT_EQ(elements[2], std::make_pair(std::string("FILE_NAME"), std::string()));
  EXPECT_TRUE(ListElements("no document").empty());
  EXPECT_EQ(ListElements("<MORVANTA_XML><A>1</A><B>unclosed</MORVANTA_XML>").size(), 1u);
}

TEST(ServerRequestLogTest, DropsTheOldestBeyondItsCapacity) {
  RequestLog log(2);
  const auto first = log.Add({"INIT", {}, false});
  const auto second = log.Add({"GETLIST", {}, false});
  log.Add({"GET", {}, false});
  log.MarkReceipt(first);  // already dropped: nothing happens
  log.MarkReceipt(second);
  const auto records = log.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].service, "GETLIST");
  EXPECT_TRUE(records[0].receiptMarker);
  EXPECT_EQ(records[1].service, "GET");
  EXPECT_FALSE(records[1].receiptMarker);
}

using Direction = bool (WireText::*)(std::string_view, std::string*) const;

// One direction of the wire's conversion; nothing when the text does not convert.
std::optional<std::string> Converted(const WireText& wire, Direction direction,
                                     std::string_view text) {
  std::string out;
  if (!(wire.*direction)(text, &out)) return std::nullopt;
  return out;
}

TEST(ServerCharsetTest, ConvertsKoreanBetweenUtf8AndCp949) {
  const std::unique_ptr<WireText> wire = MakeIconvWireText(kDefaultWireCharset);
  ASSERT_NE(wire, nullptr);
  const auto toWire = [&](std::string_view utf8) {
    return Converted(*wire, &WireText::FromUtf8, utf8);
  };
  const auto fromWire = [&](std::string_view text) {
    return Converted(*wire, &WireText::ToUtf8, text);
  };
  EXPECT_EQ(toWire("\xea\xb0\x80\xeb\x82\x98.txt"),
            std::optional<std::string>("\xb0\xa1\xb3\xaa.txt"));
  EXPECT_EQ(fromWire("\xb0\xa1\xb3\xaa.txt"),
            std::optional<std::string>("\xea\xb0\x80\xeb\x82\x98.txt"));
  EXPECT_EQ(toWire("\xf0\x9f\x98\x80.txt"), std::nullopt);  // an emoji has no CP949 form
  EXPECT_EQ(toWire("\xff\xfe"), std::nullopt);              // not UTF-8 at all
  EXPECT_EQ(MakeIconvWireText("NO-SUCH-CODE-PAGE"), nullptr);
}

}  // namespace
}  // namespace dovrel::server
