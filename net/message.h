#pragma once
// The Message document: a fixed header, the root element and a flat run of
// named elements whose text is used as it stands (nothing is escaped).
// Also the "&"-joined name=value texts carried inside some elements.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "base/leading_integer.h"

namespace dovrel {

inline constexpr char kMessageHeader[] = "<?xml version=\"1.0\" encodeing=\"ISO-8859-1\"?>";
inline constexpr char kMessageRoot[] = "MORVANTA_XML";

struct Element {
  const char* name;
  const char* value;
};

// Writes "<NAME>value</NAME>" (name upper-cased) into `out`. False, with `out`
// empty, when it does not fit in `capacity` bytes with the terminating zero.
bool MakeElement(const char* name, const char* value, char* out, std::size_t capacity);

// Header, root, the elements in order, closing root: the request document.
// Returns its length, or -1 (with `out` empty) when it does not fit.
int BuildRequest(std::initializer_list<Element> elements, char* out, std::size_t capacity);

// The text of the first element named `name` (upper-cased; exact tag match),
// as a view into `document`; nothing when the element or its closing tag is missing.
std::optional<std::string_view> FindElementText(std::string_view document, const char* name);

// FindElement copies that text into `out` with a terminating zero. A text that
// would not fit in `capacity` is refused: false, and `out` is left untouched.
bool FindElement(const char* document, const char* name, char* out, std::size_t capacity);

// The value of `name` (case-insensitive, followed directly by "=") in a text of
// "&"-joined pairs. The text ends at `text`'s end or its first zero byte.
std::optional<std::string_view> FindParameterText(std::string_view text, const char* name);

// FindParameter copies at most capacity - 1 characters of it into `out`:
// 0 when found, -1 (and `out` empty) when not.
int FindParameter(const char* text, const char* name, char* out, std::size_t capacity);

// True for the names of received files: they begin with "107", in any letter case.
bool IsReceivedFileName(const char* name);

// A leading integer of the server's codes and counts: the protocol's
// quantities are 32-bit on every platform, so the result is too.
inline std::int32_t ParseLeadingInteger(const char* text) {
  return ParseLeading<std::int32_t>(text);
}

}  // namespace dovrel
