#pragma once
// Copying ANSI texts into fixed buffers. The texts are in the Korean code page
// (949), where a byte from 0x81 to 0xFE starts a two-byte character: a text too
// long for its buffer is cut before such a pair, never between its two bytes.

#include <cstddef>

namespace dovrel {

// Copies `source` into `destination` of `capacity` bytes, cut as above to
// capacity - 1 bytes and zero-terminated. A null source gives the empty text.
void CopyAnsiText(char* destination, std::size_t capacity, const char* source);

}  // namespace dovrel
