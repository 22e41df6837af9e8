#pragma once
// The receive folder, kept machine-wide in the registry under
// HKEY_LOCAL_MACHINE\SOFTWARE\Morvanta\Orsenn, value PayListPath (ANSI text).
// Both builds use the 32-bit registry view, so the setting is one per machine.

#include <cstddef>

namespace dovrel {

// -1 with the folder in `buffer` when one is stored and fits `size` bytes;
// 0 otherwise, `buffer` then empty (nothing is done for a null buffer).
// Reading needs read access only.
int LoadReceiveFolder(char* buffer, std::size_t size);
// 0, doing nothing, for a null or empty text; -1 once the store was tried.
int SaveReceiveFolder(const char* text);

// The same under another key of HKEY_LOCAL_MACHINE (tests).
int LoadReceiveFolderFrom(const char* keyPath, char* buffer, std::size_t size);
int SaveReceiveFolderTo(const char* keyPath, const char* text);

}  // namespace dovrel
