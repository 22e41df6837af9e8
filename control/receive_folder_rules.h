#pragma once
// What loading the receive-folder setting accepts of the stored values, and
// which of the two it takes.

#include <cstddef>

#include "base/platform_paths.h"

namespace dovrel {

inline constexpr char kFolderKeyPath[] = "SOFTWARE\\Morvanta\\Orsenn";
inline constexpr char kFolderValueName[] = "PayListPath";

// `local` is the zero-filled path buffer the value was read into, `reportedSize`
// the data size the registry reported. Accepted when it holds a non-empty text
// whose reported size (terminating zero included) is below the caller's
// buffer size: 258 bytes of text load into 260 bytes, 259 do not.
bool AcceptStoredFolder(const char (&local)[kPathSize], unsigned long reportedSize,
                        std::size_t callerSize);

// One stored value as read: all zero when there is none.
struct StoredFolderRead {
  char local[kPathSize] = {};
  unsigned long reportedSize = 0;
};

// The value loading takes: the user's own when it is accepted, else the
// machine-wide one when that is, else none (null).
const StoredFolderRead* ChooseStoredFolder(const StoredFolderRead& user,
                                           const StoredFolderRead& machine, std::size_t callerSize);

}  // namespace dovrel
