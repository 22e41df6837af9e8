#pragma once
// ANSI texts of a double-byte code page (949 for Korean): a lead byte and the
// byte after it make one character, and a trail byte may look like an ASCII
// letter. Cutting, copying and comparing therefore walk whole characters.

#include <cstddef>
#include <string>
#include <string_view>

namespace dovrel {

using LeadBytePredicate = bool (*)(unsigned char);

// Code page 949: lead bytes are 0x81 to 0xFE.
bool IsCp949LeadByte(unsigned char byte);

// The longest prefix of `text` of at most `limit` bytes that ends on a
// character boundary.
std::string CutAnsiText(std::string_view text, std::size_t limit, LeadBytePredicate isLead);

// Copies `source` into `destination` of `capacity` bytes, cut by the code page
// 949 rule to capacity - 1 bytes and zero-terminated. A null source gives the
// empty text.
void CopyAnsiText(char* destination, std::size_t capacity, const char* source);

// Equal when the texts differ only in the case of ASCII letters that are
// characters of their own (never the trail byte of a double-byte character).
bool EqualIgnoringCase(std::string_view a, std::string_view b, LeadBytePredicate isLead);

}  // namespace dovrel
