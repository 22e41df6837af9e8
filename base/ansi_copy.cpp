#include "base/ansi_copy.h"

#include <cstring>
#include <string>

#include "base/ansi_text.h"

namespace dovrel {

void CopyAnsiText(char* destination, std::size_t capacity, const char* source) {
  if (destination == nullptr || capacity == 0) return;
  const std::string text =
      source != nullptr ? CutAnsiText(source, capacity - 1, IsCp949LeadByte) : std::string();
  std::memcpy(destination, text.data(), text.size());
  destination[text.size()] = '\0';
}

}  // namespace dovrel
