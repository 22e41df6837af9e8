#pragma once
// How received files reach the receive folder: never at the cost of the copy
// already there.

#include <cstddef>

namespace dovrel {

// Writes the bytes to a new file beside `path` (every line feed as CR LF in
// text mode) and moves it over `path` only once it is complete and closed.
// On any failure the new file is removed and an existing `path` is untouched.
bool StoreFile(const char* path, const unsigned char* bytes, std::size_t size, bool textMode);

namespace platform {
bool MoveFileOver(const char* from, const char* to);  // atomic where the platform allows
}

}  // namespace dovrel
