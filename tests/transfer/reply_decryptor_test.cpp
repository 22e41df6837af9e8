#include "session/reply_decryptor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <openssl/evp.h>

#include "net/codecs.h"
#include "net/message.h"
#include "session/pkcs7.h"
#include "tests/transfer/encrypted_reply.h"

namespace dovrel {
namespace {

using test::EncryptedDataPem;
using test::FixedKeys;

struct Result {
  bool ok = false;
  std::string plaintext;
  bool operator==(const Result& other) const { return ok == other.ok && plaintext == other.plaintext; }
};

// What the whole-reply path makes of a reply: ENC_DATA located in the
// untouched text and decrypted from its PEM form.
Result WholeReply(std::string reply, const SessionKeys& keys) {
  auto text = FindElementText(reply, "ENC_DATA");
  if (!text) return {};
  CryptoErrorRecord error{};
  unsigned char* plain = nullptr;
  std::ptrdiff_t n = DecryptEncryptedDataInPlace(reply.data() + (text->data() - reply.data()), text->size(),
                                                 kArmourPem, keys.sessionKey, sizeof keys.sessionKey,
                                                 keys.initVector, sizeof keys.initVector, &plain, &error);
  if (n < 0) return {};
  return {true, std::string(reinterpret_cast<char*>(plain), static_cast<std::size_t>(n))};
}

// The same reply fed to the streaming path in pieces of the given sizes.
Result Streamed(const std::string& reply, const SessionKeys& keys, std::mt19937& random, int maxPiece,
                bool* started, bool* whileArriving = nullptr) {
  std::vector<char> buffer(reply.size() + 1024, '\0');
  std::memcpy(buffer.data(), reply.data(), reply.size());
  ReplyDecryptor decryptor(buffer.data(), reply.size(), keys);
  std::uniform_int_distribution<int> piece(1, maxPiece);
  for (std::size_t received = 0; received < reply.size();) {
    received = std::min(reply.size(), received + static_cast<std::size_t>(piece(random)));
    decryptor.Advance(received);
  }
  unsigned char* plain = nullptr;
  std::size_t length = 0;
  const auto outcome = decryptor.Finish(reply.size(), &plain, &length);
  if (whileArriving != nullptr) *whileArriving = decryptor.DecryptingWhileArriving();
  switch (outcome) {
    case ReplyDecryptor::Outcome::kDecrypted:
      *started = true;
      return {true, std::string(reinterpret_cast<char*>(plain), length)};
    case ReplyDecryptor::Outcome::kFailed:
      *started = true;
      return {};
    case ReplyDecryptor::Outcome::kNotStarted:
      *started = false;
      // Untouched, so the whole-reply path still sees what arrived.
      EXPECT_EQ(std::string(buffer.data(), reply.size()), reply);
      return WholeReply(reply, keys);
  }
  return {};
}

// The PEM text again, with bytes after the EncryptedData inside its body.
std::string WithTrailingBytes(const std::string& pem) {
  const std::size_t start = pem.find('\n') + 1;
  const std::size_t end = pem.find("-----END");
  std::size_t n = 0;
  auto der = DecodeBase64(pem.data() + start, end - start, &n);
  std::string bytes(reinterpret_cast<char*>(der.get()), n);
  bytes += "trailing";
  std::string text(bytes.size() * 2 + 8, '\0');
  int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                               reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(length));
  return pem.substr(0, start) + text + "\n" + pem.substr(end);
}

std::string Document(const std::string& inside) {
  return std::string(kMessageHeader) + "<MORVANTA_XML>" + inside + "</MORVANTA_XML>";
}

std::string Lines(const std::string& pem, const char* lineEnd) {
  std::string out;
  for (char c : pem) out += c == '\n' ? std::string(lineEnd) : std::string(1, c);
  return out;
}

TEST(ReplyDecryptor, ReachesTheOutcomeOfTheWholeReplyPath) {
  const SessionKeys keys = FixedKeys();
  SessionKeys otherKeys = keys;
  otherKeys.initVector[0] ^= 1;
  std::string big(70000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + 7);
  const std::string file = "file_size=70000&file_contents=" + big;
  const std::string pem = EncryptedDataPem(file, keys);
  const std::string small = EncryptedDataPem("file_size=2&file_contents=ok", keys);
  const std::string begin = "-----BEGIN PKCS7 ENCRYPTED DATA-----";
  const std::string end = "-----END PKCS7 ENCRYPTED DATA-----";
  const std::string body = pem.substr(begin.size() + 1, pem.size() - begin.size() - end.size() - 2);
  const std::string ok = "<RESULT_CODE>0000</RESULT_CODE>";

  struct Case {
    const char* what;
    std::string reply;
    bool streams;  // whether the streaming path should take it on
  } const cases[] = {
      {"plain", Document(ok + "<ENC_DATA>" + pem + "</ENC_DATA>"), true},
      {"CR LF lines", Document(ok + "<ENC_DATA>" + Lines(pem, "\r\n") + "</ENC_DATA>"), true},
      {"small file", Document(ok + "<ENC_DATA>" + small + "</ENC_DATA>"), true},
      {"junk around the markers",
       Document(ok + "<ENC_DATA>junk\n" + begin + "\n" + body + "\n" + end + "\ntrail</ENC_DATA>"), true},
      {"stray characters in the body",
       Document(ok + "<ENC_DATA>" + begin + "\n-<\t" + body.substr(0, 500) + "\x01 -" + body.substr(500) +
                "\n" + end + "\n</ENC_DATA>"),
       true},
      {"element closed before the END marker",
       Document(ok + "<ENC_DATA>" + begin + "\n" + body + "</ENC_DATA>" + end), true},
      {"no END marker", Document(ok + "<ENC_DATA>" + begin + "\n" + body + "</ENC_DATA>"), true},
      {"no closing tag", Document(ok + "<ENC_DATA>" + pem), true},
      {"END before BEGIN", Document(ok + "<ENC_DATA>" + end + "\n" + pem + "</ENC_DATA>"), false},
      {"closing tag before BEGIN", Document(ok + "<ENC_DATA></ENC_DATA>" + pem + "</ENC_DATA>"), false},
      {"RESULT_CODE after ENC_DATA", Document("<ENC_DATA>" + pem + "</ENC_DATA>" + ok), false},
      {"RESULT_CODE not 0", Document("<RESULT_CODE>0001</RESULT_CODE><ENC_DATA>" + pem + "</ENC_DATA>"), false},
      {"a pad too early", Document(ok + "<ENC_DATA>" + begin + "\nQ=\n" + end + "</ENC_DATA>"), true},
      {"body cut short",
       Document(ok + "<ENC_DATA>" + begin + "\n" + body.substr(0, body.size() / 2) + "\n" + end + "</ENC_DATA>"),
       true},
      {"padding that does not check out",
       Document(ok + "<ENC_DATA>" + EncryptedDataPem("file_size=2&file_contents=okABCDEFGHIJ01234", keys, false) +
                "</ENC_DATA>"),
       true},
      {"bytes after the EncryptedData",
       Document(ok + "<ENC_DATA>" + WithTrailingBytes(pem) + "</ENC_DATA>"), true},
      {"encrypted under another initial vector",
       Document(ok + "<ENC_DATA>" + EncryptedDataPem(file, otherKeys) + "</ENC_DATA>"), true},
  };
  std::mt19937 random(20261208);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Result expected = WholeReply(c.reply, keys);
    for (int maxPiece : {1, 7, 2048, 1 << 20}) {
      if (maxPiece == 1 && c.reply.size() > 20000) continue;  // slow and says nothing new
      bool started = false;
      const Result streamed = Streamed(c.reply, keys, random, maxPiece, &started);
      EXPECT_TRUE(streamed == expected) << "pieces up to " << maxPiece << ": " << streamed.ok << " "
                                        << streamed.plaintext.size() << " vs " << expected.ok << " "
                                        << expected.plaintext.size();
      EXPECT_EQ(started, c.streams) << "pieces up to " << maxPiece;
    }
  }
}

TEST(ReplyDecryptor, DecryptsALargeFileWhileItArrives) {
  const SessionKeys keys = FixedKeys();
  const std::string file = "file_size=20000&file_contents=" + std::string(20000, 'f');
  const std::string pem = EncryptedDataPem(file, keys);
  const std::size_t cut = pem.size() / 2;
  struct {
    std::string reply;
    bool whileArriving;
    bool ok;
  } const cases[] = {
      {Document("<RESULT_CODE>0000</RESULT_CODE><ENC_DATA>" + pem + "</ENC_DATA>"), true, true},
      {Document("<RESULT_CODE>0000</RESULT_CODE><ENC_DATA>" + WithTrailingBytes(pem) + "</ENC_DATA>"), true,
       true},
      // The body ends before the length its header announced: decrypted as it
      // came, then refused as the whole-reply path refuses it.
      {Document("<RESULT_CODE>0000</RESULT_CODE><ENC_DATA>" + pem.substr(0, cut) + "\n" +
                pem.substr(pem.find("-----END")) + "</ENC_DATA><PAD>" + std::string(40000, 'p') + "</PAD>"),
       true, false},
  };
  std::mt19937 random(1);
  for (const auto& c : cases) {
    bool started = false;
    bool whileArriving = true;
    const Result expected = WholeReply(c.reply, keys);
    Result result = Streamed(c.reply, keys, random, 2048, &started, &whileArriving);
    EXPECT_TRUE(started);
    EXPECT_EQ(whileArriving, c.whileArriving);
    EXPECT_EQ(result.ok, c.ok);
    EXPECT_TRUE(result == expected);
    if (c.ok) {
      EXPECT_TRUE(result.plaintext == file);
    }
  }
}

}  // namespace
}  // namespace dovrel
