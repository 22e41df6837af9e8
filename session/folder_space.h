#pragma once
// What the receive folder's file system can tell about room and age:
// folder_space_posix.cpp and folder_space_win32.cpp implement it per platform.

#include <cstdint>
#include <functional>

namespace dovrel::platform {

// The bytes this process may still write in `folder`; false when the
// platform cannot tell.
bool FreeBytes(const char* folder, std::uint64_t* bytes);

// Calls `visit` with the name and the age in seconds (now minus the last
// write) of every plain file in `folder`, in the order the file system gives.
void ForEachFileAge(const char* folder,
                    const std::function<void(const char* name, std::int64_t ageSeconds)>& visit);

}  // namespace dovrel::platform
