// The worked examples of docs/protocol.md, taken from the document itself:
// every quoted request goes to the reference server through the client's
// Exchange and its reply must match the quoted one; the quoted ENC_DATA must
// decrypt to the quoted text; and the receiver's own list and receive
// commands must send the quoted elements and store the quoted file.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "net/exchange.h"
#include "net/message.h"
#include "net/wire_text.h"
#include "server/file_server.h"
#include "pkcs7/crypto_init.h"
#include "pkcs7/pkcs7.h"
#include "tests/server/server_test_support.h"
#include "tests/support/test_server.h"

namespace dovrel::server::test {
namespace {

// One fenced block: "```kind subject [length=N]".
struct Block {
  std::string kind;
  std::string subject;  // the service, or the stored file's name
  std::optional<std::size_t> length;
  std::string text;  // the lines up to the closing fence, in the wire's code page
};

std::vector<Block> ReadBlocks(const std::string& path, const WireText& wire) {
  std::ifstream file(path);
  std::vector<Block> blocks;
  std::optional<Block> open;
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("```", 0) != 0) {
      if (open) lines.push_back(line);
      continue;
    }
    if (open) {
      std::string joined;
      for (std::size_t i = 0; i < lines.size(); ++i) joined += (i > 0 ? "\n" : "") + lines[i];
      if (!wire.FromUtf8(joined, &open->text)) open->text = "(not in the code page)";
      blocks.push_back(*open);
      open.reset();
      continue;
    }
    open.emplace();
    lines.clear();
    std::istringstream words(line.substr(3));
    words >> open->kind >> open->subject;
    for (std::string word; words >> word;) {
      if (word.rfind("length=", 0) == 0) open->length = std::stoul(word.substr(7));
    }
  }
  return blocks;
}

// What a placeholder may stand for.
bool InClass(const std::string& name, char c) {
  if (name == "SKEY") return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
  const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  if (name == "CERTIFICATES") return alnum || c == '%';
  if (name == "ENVELOPE") return alnum || c == '+' || c == '/' || c == '=' || c == '\n';
  return false;
}

// Matches `actual` against a quoted text whose {NAME}s stand for runs of
// their class (SKEY exactly 32 characters); the runs go into `captured`.
bool Matches(const std::string& quoted, const std::string& actual,
             std::map<std::string, std::string>* captured, std::string* why) {
  std::size_t q = 0;
  std::size_t a = 0;
  while (q < quoted.size()) {
    const std::size_t brace = quoted.find('{', q);
    const std::size_t close = brace == std::string::npos ? brace : quoted.find('}', brace);
    const std::size_t literalEnd = close == std::string::npos ? quoted.size() : brace;
    const std::string literal = quoted.substr(q, literalEnd - q);
    if (actual.compare(a, literal.size(), literal) != 0) {
      std::size_t i = 0;
      while (a + i < actual.size() && actual[a + i] == literal[i]) ++i;
      *why = "differs at byte " + std::to_string(a + i) + ", where the document has \"" +
             literal.substr(i, 40) + "\"";
      return false;
    }
    a += literal.size();
    if (literalEnd == quoted.size()) break;
    const std::string name = quoted.substr(brace + 1, close - brace - 1);
    std::size_t end = a;
    while (end < actual.size() && InClass(name, actual[end])) ++end;
    if (end == a || (name == "SKEY" && end - a != 32)) {
      *why = "no {" + name + "} at byte " + std::to_string(a);
      return false;
    }
    (*captured)[name] = actual.substr(a, end - a);
    a = end;
    q = close + 1;
  }
  if (a != actual.size()) *why = "the server's text goes on after byte " + std::to_string(a);
  return a == actual.size();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::string Unescape(const std::string& text) {
  return Replace(Replace(text, "\\n", "\n"), "\\r", "\r");
}

// The document as the client's request builder writes those elements.
std::string Rebuilt(const std::string& document) {
  std::string out = std::string(kMessageHeader) + "<" + kMessageRoot + ">";
  for (const auto& [name, value] : ListElements(document))
    out += "<" + name + ">" + value + "</" + name + ">";
  return out + "</" + kMessageRoot + ">";
}

std::string Element(const std::string& document, const char* name) {
  return std::string(FindElementText(document, name).value_or(""));
}

// The session key and initial vector of a Key text.
bool ReadKeyText(const std::string& text, std::string* key, std::string* iv) {
  const std::size_t amp = text.find("&initvector=");
  if (text.rfind("sessionkey=", 0) != 0 || amp == std::string::npos) return false;
  auto bytes = [](const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
      out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
  };
  *key = bytes(text.substr(11, amp - 11));
  *iv = bytes(text.substr(amp + 12));
  return key->size() == 16 && iv->size() == 8;
}

// The base64 lines of the client's envelope of `keyText` for the certificate.
std::string EnvelopeLines(const std::string& certificate, const std::string& keyText) {
  std::vector<char> pem(5120);
  CryptoErrorRecord error{};
  if (SealEnvelope(certificate.c_str(), keyText.c_str(), keyText.size(), pem.data(), pem.size(),
                   kArmourPem, &error) < 0)
    return "(no envelope: " + std::string(error.message) + ")";
  const std::string text(pem.data());
  const std::size_t start = text.find('\n') + 1;
  return text.substr(start, text.find("-----END") - start);
}

TEST(ProtocolDocTest, TheWorkedExamplesAreWhatTheClientSendsAndTheServerAnswers) {
  ASSERT_TRUE(EnsureCryptoProviders());
  const std::unique_ptr<WireText> wire = MakeIconvWireText("CP949");
  ASSERT_TRUE(wire);
  const std::vector<Block> blocks = ReadBlocks(DOVREL_PROTOCOL_DOC, *wire);
  std::unique_ptr<FileServer> server;
  ASSERT_TRUE(Started(TestOptions(dovrel::test::FixtureRoot()), &server));

  std::map<std::string, std::string> values;  // what the placeholders stood for
  std::string keyText;
  std::string certificate;  // the server's, as PEM text
  std::string request;
  std::string quotedReply;
  std::vector<const Block*> requests;
  std::vector<const Block*> stored;
  int replies = 0;
  for (const Block& block : blocks) {
    SCOPED_TRACE(block.kind + " " + block.subject);
    if (block.kind == "keytext") keyText = block.text;
    if (block.kind == "stored") stored.push_back(&block);
    if (block.kind == "request") {
      requests.push_back(&block);
      request = Replace(block.text, "{SKEY}", values["SKEY"]);
      if (request.find("{ENVELOPE}") != std::string::npos)
        request = Replace(request, "{ENVELOPE}", EnvelopeLines(certificate, keyText));
      EXPECT_EQ(request, Rebuilt(request)) << "not a request document as the client builds it";
      EXPECT_EQ(Element(request, "SERVICE_CODE"), block.subject);
      EXPECT_EQ(request.size(), block.length.value_or(request.size()));
    }
    if (block.kind == "reply") {
      ++replies;
      EXPECT_EQ(Element(request, "SERVICE_CODE"), block.subject) << "a reply without its request";
      const CallResult reply = Call(server->Port(), request);
      ASSERT_GE(reply.result, 0);
      EXPECT_EQ(reply.reply.size(), block.length.value_or(reply.reply.size()));
      std::string why;
      EXPECT_TRUE(Matches(block.text, reply.reply, &values, &why))
          << why << "\nThe server answered:\n"
          << WireToUtf8(*wire, reply.reply);
      quotedReply = block.text;
      if (block.subject == "INIT") {
        const std::string signedData = Element(reply.reply, "SERVER_SIGNED_DATA");
        char name[256] = {};
        char pem[3072] = {};
        CryptoErrorRecord record{};
        ASSERT_EQ(ReadServerCertificate(signedData.c_str(), signedData.size(), name, sizeof name,
                                        pem, sizeof pem, &record),
                  0)
            << record.message;
        certificate = pem;
      }
    }
    if (block.kind == "plaintext") {
      std::string key;
      std::string iv;
      ASSERT_TRUE(ReadKeyText(keyText, &key, &iv)) << keyText;
      const std::string encData = Element(quotedReply, "ENC_DATA");
      std::vector<unsigned char> plain(encData.size() + 1);
      CryptoErrorRecord record{};
      const std::ptrdiff_t n =
          DecryptEncryptedData(encData.data(), encData.size(), kArmourPem,
                               reinterpret_cast<const unsigned char*>(key.data()), key.size(),
                               reinterpret_cast<const unsigned char*>(iv.data()), iv.size(),
                               plain.data(), plain.size(), &record);
      ASSERT_GE(n, 0) << record.message;
      EXPECT_EQ(std::string(plain.begin(), plain.begin() + n), Unescape(block.text));
    }
  }
  ASSERT_GE(replies, 5) << "the worked examples were not found in " << DOVREL_PROTOCOL_DOC;

  // The receiver lists the quoted date and receives the quoted files.
  cli::Options options;
  options.port = server->Port();
  for (const Block* block : requests) {
    if (block->subject == "GETLIST") options.date = Element(block->text, "DATE");
    if (block->subject == "GETLIST") options.user = Element(block->text, "USERID");
    if (block->subject == "GET") options.names.push_back(Element(block->text, "FILE_NAME"));
  }
  dovrel::test::TempFolder folder;
  options.folder = folder.Text();
  server->ClearRequests();
  EXPECT_EQ(cli::RunList(options), cli::kExitOk);
  EXPECT_NE(cli::RunReceive(options), cli::kExitServerError);
  const std::vector<RequestRecord> sent = server->Requests();
  for (const Block* block : requests) {
    SCOPED_TRACE("the client's " + block->subject + " " + Element(block->text, "FILE_NAME"));
    const RequestRecord* record = nullptr;
    for (const RequestRecord& r : sent) {
      if (record == nullptr && r.service == block->subject &&
          r.Element("FILE_NAME") == Element(block->text, "FILE_NAME"))
        record = &r;
    }
    ASSERT_NE(record, nullptr) << "the client sent no such request";
    const auto quoted = ListElements(block->text);
    ASSERT_EQ(record->elements.size(), quoted.size());
    for (std::size_t i = 0; i < quoted.size(); ++i) {
      std::map<std::string, std::string> ignored;
      std::string why;
      EXPECT_EQ(record->elements[i].first, quoted[i].first);
      EXPECT_TRUE(Matches(quoted[i].second, record->elements[i].second, &ignored, &why))
          << quoted[i].first << ": " << why << "\nThe client sent:\n"
          << record->elements[i].second;
    }
  }
  for (const Block* block : stored) {
    std::ifstream file(folder.File(block->subject), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), Unescape(block->text))
        << block->subject;
  }
}

}  // namespace
}  // namespace dovrel::server::test
