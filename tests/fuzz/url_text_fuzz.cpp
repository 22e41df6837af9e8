// URL-style decoding and the Option list parser: every output terminated
// inside its field, nothing written past a capacity.
#include <cstring>
#include <vector>

#include "net/codecs.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovrel;
  fuzz::FuzzInput input(data, size);
  const std::size_t capacity = 1 + input.Byte();
  const int maximum = input.Byte() % 24;
  const std::string text = input.Rest();

  std::vector<char> out(capacity + 1, '\x5A');
  const int written = DecodeUrlText(text.c_str(), out.data(), capacity);
  if (out[capacity] != '\x5A') fuzz::Fail("DecodeUrlText wrote past its capacity");
  if (written < 0 || static_cast<std::size_t>(written) >= capacity || out[written] != '\0')
    fuzz::Fail("DecodeUrlText's count or terminator is wrong");

  std::vector<OptionEntry> entries(maximum + 1);
  std::memset(entries.data(), 0x5A, entries.size() * sizeof(OptionEntry));
  const int filled = ParseOptionList(text.data(), text.size(), entries.data(), maximum);
  if (filled < 0 || filled > maximum) fuzz::Fail("ParseOptionList's count is out of range");
  const unsigned char* guard = reinterpret_cast<const unsigned char*>(&entries[maximum]);
  for (std::size_t i = 0; i < sizeof(OptionEntry); ++i)
    if (guard[i] != 0x5A) fuzz::Fail("ParseOptionList wrote past its table");
  for (int i = 0; i < filled; ++i) {
    if (!std::memchr(entries[i].key, '\0', kOptionKeySize) ||
        !std::memchr(entries[i].value, '\0', kOptionValueSize))
      fuzz::Fail("an option entry is not terminated");
  }
  ClearOptionList(entries.data(), filled);
  for (int i = 0; i < filled; ++i)
    if (entries[i].key[0] != '\0' || entries[i].value[0] != '\0')
      fuzz::Fail("an entry was not cleared");
  return 0;
}
