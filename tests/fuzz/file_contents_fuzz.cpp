// The decrypted-text reader (file_size, "file_contents", the line ends) fed
// in pieces, against the same rules on the whole text.
#include <algorithm>

#include "session/file_contents.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_keys.h"
#include "tests/support/temp_folder.h"
#include "tests/session/whole_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovrel;
  fuzz::FuzzInput input(data, size);
  const std::size_t maxPiece = 1 + input.Byte();
  const bool textMode = input.Byte() & 1;
  const std::string plain = input.Rest();
  const std::string path = fuzz::ScratchFolder() + "/107c";

  test::WriteFileBytes(path, "old");
  bool stored = false;
  {
    FileContents contents(path.c_str(), textMode);
    bool taken = true;
    for (std::size_t at = 0, piece = 0; at < plain.size() && taken; at += piece) {
      piece = std::min(plain.size() - at, 1 + (at * 31 + plain.size()) % maxPiece);
      taken = contents.Take(reinterpret_cast<const unsigned char*>(plain.data()) + at, piece);
    }
    stored = taken && contents.Store();
  }
  const std::optional<std::string> expected = test::FileFromPlaintext(plain, textMode);
  if (stored != expected.has_value())
    fuzz::Fail("the reader and the whole-text rules disagree on the outcome");
  if (test::ReadFileBytes(path) != (expected ? *expected : std::string("old")))
    fuzz::Fail("the reader stored other bytes");
  return 0;
}
