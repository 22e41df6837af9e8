#include "session/reply_stream.h"

#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "net/codecs.h"
#include "net/message.h"
#include "pkcs7/crypto_init.h"
#include "session/file_names.h"
#include "pkcs7/pem_body.h"
#include "tests/pkcs7/test_certificates.h"
#include "tests/support/temp_folder.h"
#include "tests/session/encrypted_reply.h"
#include "tests/session/whole_reply.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace dovrel {
namespace {

using test::Der;
using test::ObjectIdentifierDer;

struct Outcome {
  bool stored = false;
  std::string bytes;  // the file on disk afterwards
  bool operator==(const Outcome& other) const {
    return stored == other.stored && bytes == other.bytes;
  }
};

// Random text with what matters to the rules: line feeds, zero bytes,
// ampersands and key fragments.
std::string RandomBytes(std::mt19937& random, std::size_t size, bool binary) {
  static const char* const kFragments[] = {
      "\n", "&", "=", "file_", "&file_size=3", "file_contents", "\r\n"};
  std::string out;
  std::uniform_int_distribution<int> byte(binary ? 0 : 32, binary ? 255 : 126);
  while (out.size() < size) {
    if (random() % 50 == 0) {
      out += kFragments[random() % 7];
    } else {
      out += static_cast<char>(byte(random));
    }
  }
  out.resize(size);
  return out;
}

std::string RandomPlaintext(std::mt19937& random, const std::string& file) {
  const std::string n = std::to_string(file.size());
  switch (random() % 16) {
    case 0:
      return "file_contents=" + file + "&file_size=" + n;  // the bytes before the size
    case 1:
      return "x=1&&FILE_SIZE=" + n + "&a=b&file_contents=" + file;
    case 2:
      return "file_size=" + std::to_string(file.size() + random() % 3) + "&file_contents=" + file;
    case 3:
      return "file_size=" + n + "&" + std::string(1, '\0') + "file_contents=" + file;
    case 4:
      return "file_size= +" + n + "&file_contents:" + file;
    case 5:
      return "file_size=" + n + "&contents=" + file;
    case 6:
      return "file_size=-" + n + "&file_contents=" + file;
    case 7:
      return "file_contents=" + file;
    default:
      return test::FilePlaintext(file);
  }
}

// The EncryptedData body in one of the forms the readers must take alike.
std::string RandomBody(std::mt19937& random, const std::string& ciphertext,
                       const SessionKeys& keys) {
  const std::string version = Der(0x02, std::string(1, '\0'));
  const std::string type = ObjectIdentifierDer("1.2.840.113549.1.7.1");
  const char* oid = random() % 20 == 0 ? "1.2.3.4.5" : "1.2.840.113533.7.66.10";
  const std::string algorithm =
      Der(0x30, ObjectIdentifierDer(oid) + Der(0x04, test::IvBytes(keys)));
  const std::string end(2, '\0');
  const std::size_t half = ciphertext.size() / 2;
  switch (random() % 6) {
    case 0:  // indefinite lengths, the content in segments
      return "\x30\x80" + version + "\x30\x80" + type + algorithm + "\xa0\x80" +
             Der(0x04, ciphertext.substr(0, half)) + Der(0x04, ciphertext.substr(half)) + end +
             end + end;
    case 1:
      return Der(0x30, version + Der(0x30, type + algorithm +
                                               Der(0xa0, Der(0x04, ciphertext.substr(0, half)) +
                                                             Der(0x04, ciphertext.substr(half)))));
    case 2:  // bytes after the body
      return Der(0x30, version + Der(0x30, type + algorithm + Der(0x80, ciphertext))) + "trailing";
    case 3:  // no content
      return Der(0x30, version + Der(0x30, type + algorithm));
    default:
      return Der(0x30, version + Der(0x30, type + algorithm + Der(0x80, ciphertext)));
  }
}

std::string Lines(const std::string& text, const char* lineEnd) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string(lineEnd) : std::string(1, c);
  return out;
}

// A reply of a random shape around the given PEM text.
std::string RandomReply(std::mt19937& random, std::string pem) {
  const std::string begin = kEncryptedDataBegin;
  const std::string endMarker = kEncryptedDataEnd;
  switch (random() % 20) {
    case 0:
      pem = Lines(pem, "\r\n");
      break;
    case 1:
      pem = Lines(pem, "");
      break;
    case 2:
      pem.insert(begin.size() + 10, "-<\t\x01 -");
      break;
    case 3:
      pem = pem.substr(0, pem.size() / 2) + "\n" + endMarker;
      break;  // body cut short
    case 4:
      pem = endMarker + "\n" + pem;
      break;
    case 5:
      pem = pem.substr(0, pem.find(endMarker));
      break;
    case 6:
      pem = "junk\n" + pem + "trail";
      break;
    case 7:
      pem.insert(begin.size() + 1, "Q=");
      break;
    case 8:
      pem.insert(pem.find(endMarker), "</ENC_DATA>");
      break;
    case 9:
      pem = begin + endMarker.substr(5) + pem;
      break;  // END overlapping BEGIN
    case 10:
      pem.insert(begin.size() + 5, 1, '\0');
      break;  // the document ends inside the body
    default:
      break;
  }
  // The last holds a zero byte, which ends the number.
  static const std::string kCodes[] = {"0000",
                                       "0001",
                                       "",
                                       " -0",
                                       "abc",
                                       "00 1",
                                       std::string("\t+0\0"
                                                   "7",
                                                   5)};
  const std::string code =
      "<RESULT_CODE>" + (random() % 2 == 0 ? kCodes[0] : kCodes[random() % 7]) + "</RESULT_CODE>";
  const std::string enc = "<ENC_DATA>" + pem + "</ENC_DATA>";
  std::string inside;
  switch (random() % 12) {
    case 0:
      inside = enc + code;
      break;  // RESULT_CODE after ENC_DATA
    case 1:
      inside = code + "<ENC_DATA>" + pem;
      break;  // never closed
    case 2:
      inside = code;
      break;
    case 3:
      inside = "<ENC_DATA>x" + code + "</ENC_DATA>" + enc;
      break;
    case 4:
      inside = code + std::string(1, '\0') + enc;
      break;  // the document ends before ENC_DATA
    case 5:
      inside = code.substr(0, code.size() - 14) + std::string(1, '\0') + "</RESULT_CODE>" + enc;
      break;  // ... or inside RESULT_CODE
    default:
      inside = code + enc;
      break;
  }
  return std::string(kMessageHeader) + "<MORVANTA_XML>" + inside + "</MORVANTA_XML>";
}

Outcome Streamed(const std::string& reply, const SessionKeys& keys, const std::string& path,
                 std::mt19937& random, std::size_t maxPiece) {
  test::WriteFileBytes(path, "old");
  Outcome out;
  {
    ReplyStream stream(path.c_str(), IsTextModePath(path.c_str()), keys);
    std::uniform_int_distribution<std::size_t> piece(1, maxPiece);
    for (std::size_t at = 0; at < reply.size();) {
      // Each piece in a block of its own size: a read past it is a fault the
      // address checker reports.
      const std::size_t n = std::min(reply.size() - at, piece(random));
      std::unique_ptr<char[]> block(new char[n]);
      std::memcpy(block.get(), reply.data() + at, n);
      stream.Feed(block.get(), n);
      at += n;
    }
    out.stored = stream.ResultCodeIsZero() && stream.HasEncryptedData() && stream.Store();
  }
  out.bytes = test::ReadFileBytes(path);
  return out;
}

TEST(ReplyStream, StoresWhatTheWholeReplyRulesStoreForRandomReplies) {
  EnsureCryptoProviders();
  test::TempFolder folder;
  const SessionKeys keys = test::FixedKeys();
  SessionKeys otherKeys = keys;
  otherKeys.initVector[0] ^= 1;
  std::mt19937 random(20261208);
  int stored = 0;
  constexpr int kReplies = 400;
  for (int i = 0; i < kReplies; ++i) {
    const bool text = random() % 2 == 0;
    const std::size_t size = random() % 8 == 0 ? 40000 + random() % 40000 : random() % 3000;
    const std::string file = RandomBytes(random, size, !text);
    std::string plaintext = RandomPlaintext(random, file);
    const bool pad = random() % 5 != 0;
    if (!pad) plaintext += std::string(8 - plaintext.size() % 8, static_cast<char>(random() % 3));
    const SessionKeys& encryptKeys = random() % 15 == 0 ? otherKeys : keys;
    const std::string ciphertext = test::EncryptWith("CAST5-CBC", test::KeyBytes(keys),
                                                     test::IvBytes(encryptKeys), plaintext, pad);
    const std::string pem =
        test::PemArmour("PKCS7 ENCRYPTED DATA", RandomBody(random, ciphertext, keys));
    const std::string reply = RandomReply(random, pem);
    const std::string path = folder.File(text ? "r.txt" : "r.dat");

    const auto expected = test::WholeReplyFile(reply, keys, text);
    const Outcome reference{expected.has_value(), expected.value_or("old")};
    const std::size_t maxPiece = std::size_t{1} << (random() % 16);
    SCOPED_TRACE("reply " + std::to_string(i) + ", pieces up to " + std::to_string(maxPiece));
    const Outcome streamed = Streamed(reply, keys, path, random, maxPiece);
    ASSERT_TRUE(streamed == reference)
        << streamed.stored << " vs " << reference.stored << ", " << streamed.bytes.size() << " vs "
        << reference.bytes.size() << " bytes";
    stored += streamed.stored ? 1 : 0;
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1)
        << "a temporary file was left behind";
    std::filesystem::remove(path);
  }
  // Both outcomes must be common, or the comparison says little.
  EXPECT_GT(stored, kReplies / 10);
  EXPECT_LT(stored, kReplies * 9 / 10);
}

// The reply is read as zero-terminated text: a zero byte ends the document,
// wherever it stands, and what follows it is not looked at.
TEST(ReplyStream, AZeroByteEndsTheReply) {
  EnsureCryptoProviders();
  const SessionKeys keys = test::FixedKeys();
  const std::string code = "<RESULT_CODE>0</RESULT_CODE>";
  const std::string pem = test::EncryptedDataPem(test::FilePlaintext("abc"), keys);
  const std::string enc = "<ENC_DATA>" + pem + "</ENC_DATA>";
  const std::string zero(1, '\0');
  const std::string head = kMessageHeader;
  const struct {
    const char* what;
    std::string reply;
    bool stored;
  } cases[] = {
      {"before ENC_DATA", head + code + zero + enc, false},
      {"inside RESULT_CODE", head + "<RESULT_CODE>0" + zero + "</RESULT_CODE>" + enc, false},
      {"inside the PEM body",
       head + code + "<ENC_DATA>" + std::string(pem).insert(45, zero) + "</ENC_DATA>", false},
      {"after the document", head + code + enc + zero + "<RESULT_CODE>1</RESULT_CODE>", true},
  };
  test::TempFolder folder;
  std::mt19937 random(17);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(test::WholeReplyFile(c.reply, keys, false).has_value(), c.stored);
    for (std::size_t piece : {1, 7, 4096}) {
      const Outcome out = Streamed(c.reply, keys, folder.File("z.dat"), random, piece);
      EXPECT_EQ(out.stored, c.stored);
      EXPECT_EQ(out.bytes, c.stored ? "abc" : "old");
    }
  }
}

// The header is read only from bytes that have arrived: a body that
// announces far more than it holds fails when it ends, however it is cut, and
// a length no memory could hold is never taken on trust.
TEST(ReplyStream, ReadsTheEncryptedDataHeaderOnlyFromBytesThatArrived) {
  const SessionKeys keys = test::FixedKeys();
  const std::string ciphertext = test::EncryptWith("CAST5-CBC", test::KeyBytes(keys),
                                                   test::IvBytes(keys), test::FilePlaintext("abc"));
  const std::string inner = Der(0x02, std::string(1, '\0')) +
                            Der(0x30, ObjectIdentifierDer("1.2.840.113549.1.7.1") +
                                          Der(0x30, ObjectIdentifierDer("1.2.840.113533.7.66.10") +
                                                        Der(0x04, test::IvBytes(keys))) +
                                          Der(0x80, ciphertext));
  const std::string bodies[] = {
      std::string("\x30\x84\x7f\xff\xff\xff", 6) + inner,  // outer length far too long
      std::string("\x30\x88\xff\xff\xff\xff\xff\xff\xff\xff", 10) + inner,  // beyond 64 bits' use
      Der(0x30, inner).substr(0, 20),                                       // cut inside the header
  };
  test::TempFolder folder;
  std::mt19937 random(7);
  for (const std::string& body : bodies) {
    const std::string reply = std::string(kMessageHeader) +
                              "<RESULT_CODE>0</RESULT_CODE><ENC_DATA>" +
                              test::PemArmour("PKCS7 ENCRYPTED DATA", body) + "</ENC_DATA>";
    for (std::size_t piece : {1, 5, 4096}) {
      const Outcome out = Streamed(reply, keys, folder.File("x.dat"), random, piece);
      EXPECT_FALSE(out.stored);
      EXPECT_EQ(out.bytes, "old");
    }
  }
}

// Neither the file nor the spill is begun when the folder's free space shows
// that it cannot hold them: the size the text announces, or for a spill twice
// the reply's announced length. The old file stays and nothing is written.
TEST(ReplyStream, BeginsNoFileThatTheFolderCannotHold) {
  EnsureCryptoProviders();
  const SessionKeys keys = test::FixedKeys();
  test::TempFolder folder;
  const std::string path = folder.File("big.dat");
  const std::uint64_t free = std::filesystem::space(folder.Path()).available;
  ASSERT_GT(free, 1u << 20);
  const struct {
    const char* what;
    std::string plaintext;
    std::uint64_t announced;  // 0: the reply's own length
    bool stored;
  } cases[] = {
      {"size beyond the free space", "file_size=" + std::to_string(free + 1) + "&file_contents=abc",
       0, false},
      {"spill of a reply announced beyond half of it", "file_contents=abc&file_size=3",
       free / 2 + 1, false},
      {"spill that fits", "file_contents=abc&file_size=3", 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string reply = test::GetReply(c.plaintext, keys);
    test::WriteFileBytes(path, "old");
    ReplyStream stream(path.c_str(), false, keys);
    stream.Announce(c.announced != 0 ? c.announced : reply.size());
    stream.Feed(reply.data(), reply.size());
    const auto entries = std::distance(std::filesystem::directory_iterator(folder.Path()),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, c.stored ? 2 : 1) << "a file was begun";
    EXPECT_EQ(stream.ResultCodeIsZero() && stream.HasEncryptedData() && stream.Store(), c.stored);
    EXPECT_EQ(test::ReadFileBytes(path), c.stored ? "abc" : "old");
  }
}

#ifndef _WIN32
// A file size limit fails the writes the way a full disk does: the item
// fails, whether the bytes went straight to the file or to the spill first.
TEST(ReplyStream, AFullDiskLeavesTheOldFile) {
  const SessionKeys keys = test::FixedKeys();
  const std::string file(100000, 'x');
  test::TempFolder folder;
  std::mt19937 random(3);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  for (const std::string& plaintext :
       {test::FilePlaintext(file), "file_contents=" + file + "&file_size=100000"}) {
    const std::string reply = test::GetReply(plaintext, keys);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome out = Streamed(reply, keys, folder.File("full.dat"), random, 2048);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(out.stored);
    EXPECT_EQ(out.bytes, "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1);
    // Without the limit the same reply is stored.
    EXPECT_TRUE(Streamed(reply, keys, folder.File("full.dat"), random, 2048).stored);
  }
}
#endif

}  // namespace
}  // namespace dovrel
