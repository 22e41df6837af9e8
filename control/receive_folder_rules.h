#pragma once
// What loading the receive-folder setting accepts of the stored value.

#include <cstddef>

namespace dovrel {

inline constexpr char kFolderKeyPath[] = "SOFTWARE\\Morvanta\\Orsenn";
inline constexpr char kFolderValueName[] = "PayListPath";
// The value is read into a zero-filled buffer of this many bytes.
inline constexpr std::size_t kFolderValueBuffer = 260;

// `local` is the zero-filled 260-byte buffer after the query, `reportedSize`
// the data size the registry reported. Accepted when it holds a non-empty text
// whose reported size (terminating zero included) is below the caller's
// buffer size: 258 bytes of text load into 260 bytes, 259 do not.
bool AcceptStoredFolder(const char (&local)[kFolderValueBuffer], unsigned long reportedSize,
                        std::size_t callerSize);

}  // namespace dovrel
