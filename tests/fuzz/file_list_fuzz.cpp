// The FILE_LIST split and the safe-name test: names are non-empty, hold no
// separator, come in order from the text, and a name the test accepts can
// only mean a file directly inside the receive folder.
#include <string_view>

#include "session/file_names.h"
#include "tests/fuzz/fuzz_input.h"
#include "session/file_list_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovrel;
  fuzz::FuzzInput input(data, size);
  const std::size_t maximum = input.Byte();
  const std::string text = input.Rest();

  const auto names = SplitFileList(text, maximum);
  if (names.size() > maximum) fuzz::Fail("more names than asked for");
  const char* previousEnd = text.data();
  for (std::string_view name : names) {
    if (name.empty() || name.find('|') != std::string_view::npos)
      fuzz::Fail("a name is empty or holds |");
    if (name.data() < previousEnd || name.data() + name.size() > text.data() + text.size())
      fuzz::Fail("a name is not a later part of the text");
    previousEnd = name.data() + name.size();

    if (IsSafeFileName(name)) {
      if (name.find_first_of("/\\:") != std::string_view::npos || name == "." || name == ".." ||
          name.size() >= 260)
        fuzz::Fail("an unsafe name was accepted");
    }
  }
  return 0;
}
