#pragma once
// The receive folder, kept in the registry under SOFTWARE\Morvanta\Orsenn,
// value PayListPath (ANSI text): each user's own under HKEY_CURRENT_USER, and
// the machine's default under HKEY_LOCAL_MACHINE for users who have none.
// Both builds use the 32-bit registry view, so the machine's is one per machine.

#include <cstddef>

namespace dovrel {

// -1 with the folder in `buffer` when one is stored and fits `size` bytes,
// the user's taken before the machine's; 0 otherwise, `buffer` then empty
// (nothing is done for a null buffer). Reading needs read access only.
int LoadReceiveFolder(char* buffer, std::size_t size);
// 0, doing nothing, for a null or empty text. Otherwise stores it as the
// user's folder: -1 when it was stored, 0 when it could not be. The machine's
// default is never written here (the installer's RECEIVEFOLDER, a policy).
int SaveReceiveFolder(const char* text);

// The same under another key path (tests).
int LoadReceiveFolderFrom(const char* keyPath, char* buffer, std::size_t size);
int SaveReceiveFolderTo(const char* keyPath, const char* text);

}  // namespace dovrel
