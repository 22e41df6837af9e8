#pragma once
// How received files reach the receive folder: only under plain names, in
// text mode for .txt and .rst, and never at the cost of the copy already there.

#include <cstddef>
#include <string>
#include <string_view>

#include "net/platform_paths.h"
#include "net/wire_text.h"

namespace dovrel {


// True for a server-chosen name that can only mean a file directly inside the
// receive folder: no separators or drive colon, not "." or "..", no device
// name (CON, NUL, COM1, ...), no trailing dot or blank, no control or
// wildcard characters, and short enough for a path.
bool IsSafeFileName(std::string_view name);

// The receive folder, a separator and the listed name in the file system's
// encoding, into `out`. False for an unsafe or unconvertible name, or a path
// longer than 259 characters.
bool MakeLocalPath(const std::string& folder, std::string_view wireName, const WireText& wire,
                   char* out, std::size_t capacity);

// True when the path's extension (from the last "." of its last component;
// "/" and "\" both separate) is ".txt" or ".rst" in any letter case.
bool IsTextModePath(const char* path);

// Writes the bytes to a new file beside `path` (every line feed as CR LF in
// text mode) and moves it over `path` only once it is complete and closed.
// On any failure the new file is removed and an existing `path` is untouched.
bool StoreFile(const char* path, const unsigned char* bytes, std::size_t size, bool textMode);

namespace platform {
bool MoveFileOver(const char* from, const char* to);  // atomic where the platform allows
}

}  // namespace dovrel
