// The streaming receive path against the whole-reply rules: for any reply,
// fed in pieces of any size, the same outcome and the same bytes on disk;
// zero bytes included, which end the document for both.
#include <algorithm>
#include <cstring>
#include <memory>

#include "pkcs7/crypto_init.h"
#include "session/file_names.h"
#include "session/reply_stream.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_keys.h"
#include "tests/support/temp_folder.h"
#include "tests/session/whole_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovrel;
  EnsureCryptoProviders();  // CAST5 and the other legacy ciphers, as the receiver loads them
  fuzz::FuzzInput input(data, size);
  const std::size_t maxPiece = 1 + input.Byte();
  // Bit 0: text mode; bit 1: a zero byte goes into the reply, at the place
  // the other bits give as a share of its length (the document ends there).
  const std::uint8_t mode = input.Byte();
  const bool textMode = mode & 1;
  std::string reply = input.Rest();
  if (mode & 2) reply.insert(reply.size() * (mode >> 2) / 64, 1, '\0');
  const SessionKeys keys = fuzz::FuzzKeys();
  const std::string path = fuzz::ScratchFolder() + (textMode ? "/107f.txt" : "/107f.dat");

  test::WriteFileBytes(path, "old");
  bool stored = false;
  {
    ReplyStream stream(path.c_str(), IsTextModePath(path.c_str()), keys);
    for (std::size_t at = 0, piece = 0; at < reply.size(); at += piece) {
      piece = std::min(reply.size() - at, 1 + (at * 7919 + reply.size()) % maxPiece);
      // Each piece in a block of its own size: a read past it is reported.
      std::unique_ptr<char[]> block(new char[piece]);
      std::memcpy(block.get(), reply.data() + at, piece);
      stream.Feed(block.get(), piece);
    }
    stored = stream.ResultCodeIsZero() && stream.HasEncryptedData() && stream.Store();
  }
  const std::optional<std::string> expected = test::WholeReplyFile(reply, keys, textMode);
  if (stored != expected.has_value())
    fuzz::Fail("the streaming path and the whole-reply rules disagree on the outcome");
  if (test::ReadFileBytes(path) != (expected ? *expected : std::string("old")))
    fuzz::Fail("the streaming path stored other bytes than the whole-reply rules");
  return 0;
}
