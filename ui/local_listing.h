#pragma once
// Lists the received files already in the receive folder: "*.txt" files whose
// names begin with "107", also inside subfolders that are themselves named
// "*.txt", depth first in the file system's order.

#include <cstdint>
#include <string>
#include <string_view>

#include "session/directory.h"
#include "ui/local_list_view.h"
#include "base/platform_paths.h"
#include "base/receive_parameters.h"

namespace dovrel {

// Grid lines, full-row selection and info tips.
inline constexpr unsigned long kLocalListStyle = 0x421;
// The longest path a path buffer holds.
inline constexpr std::size_t kMaxPathLength = kPathSize - 1;

// "%4d-%02d-%02d %02d:%02d" of the UTC time moved by `utcOffsetSeconds`.
std::string FormatListingDate(std::int64_t utcSeconds, std::int64_t utcOffsetSeconds);
std::string FormatListingSize(std::uint64_t size);

// Puts the receive folder into the folder box, then, when the folder exists,
// rebuilds the local file list from it. A missing or empty folder leaves the
// rows as they were. Entries whose full path would be longer than
// kMaxPathLength are left out, and so are subfolders whose search pattern
// (path, separator, "*.txt") would be.
void RefreshLocalList(const ReceiveParameters& parameters, LocalListView& view);
void RefreshLocalList(const ReceiveParameters& parameters, LocalListView& view,
                      const DirectorySource& source, std::int64_t utcOffsetSeconds);

}  // namespace dovrel
