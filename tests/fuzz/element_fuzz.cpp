// Element and Parameter look-ups on any reply text: the copying forms agree
// with the views, honour their capacities and always terminate.
#include <cstring>
#include <string_view>
#include <vector>

#include "net/message.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

const char* const kNames[] = {"RESULT_CODE", "ENC_DATA", "FILE_LIST", "SKEY",
                              "file_size",   "certList", "dn",        "A"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovrel;
  fuzz::FuzzInput input(data, size);
  const char* name = kNames[input.Byte() % (sizeof kNames / sizeof kNames[0])];
  const std::size_t capacity = 1 + input.Byte();
  const std::string text = input.Rest();
  const std::string_view document(text.c_str());  // the copying forms stop at a zero

  std::vector<char> out(capacity + 1, '\x5A');
  const auto view = FindElementText(document, name);
  const bool found = FindElement(text.c_str(), name, out.data(), capacity);
  if (out[capacity] != '\x5A') fuzz::Fail("FindElement wrote past its capacity");
  if (found != (view && view->size() < capacity))
    fuzz::Fail("FindElement disagrees with FindElementText");
  if (found && (std::string_view(out.data()) != *view)) fuzz::Fail("FindElement copied other text");

  std::vector<char> value(capacity + 1, '\x5A');
  const auto parameter = FindParameterText(document, name);
  const int result = FindParameter(text.c_str(), name, value.data(), capacity);
  if (value[capacity] != '\x5A') fuzz::Fail("FindParameter wrote past its capacity");
  if ((result == 0) != parameter.has_value())
    fuzz::Fail("FindParameter disagrees with FindParameterText");
  if (result == 0 && std::string_view(value.data()) != parameter->substr(0, capacity - 1))
    fuzz::Fail("FindParameter copied other text");

  (void)ParseLeadingInteger(text.c_str());
  (void)IsReceivedFileName(text.c_str());
  return 0;
}
