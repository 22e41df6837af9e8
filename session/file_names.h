#pragma once
// Which server-chosen names may be stored, and where: only plain names directly
// inside the receive folder, in text mode for .txt and .rst.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform_paths.h"
#include "base/transfer_item.h"
#include "net/wire_text.h"

namespace dovrel {

// True for a server-chosen name that can only mean a file directly inside the
// receive folder: no separators or drive colon, not "." or "..", no device
// name (CON, NUL, COM1, ...), no trailing dot or blank, no control or
// wildcard characters, and short enough for a path.
bool IsSafeFileName(std::string_view name);

// The one rule for a received file's path: the receive folder, the platform's
// separator unless the folder ends in one, and the name.
std::string JoinLocalPath(const std::string& folder, const std::string& name);

// JoinLocalPath of the receive folder and the listed name in the file system's
// encoding, into `out`. False for an unsafe or unconvertible name, or a path
// longer than 259 characters.
bool MakeLocalPath(const std::string& folder, std::string_view wireName, const WireText& wire,
                   char* out, std::size_t capacity);

// One item for each listed name (wire text), its local path made by
// MakeLocalPath in `folder`. An unusable name keeps an empty path, which the
// worker then fails as that item.
std::vector<TransferItem> ItemsForNames(const std::string& folder,
                                        const std::vector<std::string>& wireNames,
                                        const WireText& wire);

// True when the path's extension (from the last "." of its last component;
// "/" and "\" both separate) is ".txt" or ".rst" in any letter case.
bool IsTextModePath(const char* path);

}  // namespace dovrel
