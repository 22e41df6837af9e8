#pragma once
// The receive folder's checks before a receive, the same as the receive window's.

#include <string>

namespace dovrel::host {

// True with `folder` set when `stored` (a path in the file system's encoding)
// can take files; false with the control's message (UTF-8).
bool CheckReceiveFolder(const std::string& stored, std::string* folder, std::string* messageUtf8);

}  // namespace dovrel::host
