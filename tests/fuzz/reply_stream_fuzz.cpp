// The streaming receive path against the whole-reply rules: for any reply,
// fed in pieces of any size, the same outcome and the same bytes on disk.
#include <algorithm>
#include <cstring>
#include <memory>

#include "session/file_names.h"
#include "session/reply_stream.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_keys.h"
#include "tests/support/temp_folder.h"
#include "tests/transfer/whole_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovrel;
  fuzz::FuzzInput input(data, size);
  const std::size_t maxPiece = 1 + input.Byte();
  const bool textMode = input.Byte() & 1;
  const std::string reply = input.Rest();
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
