#include <windows.h>

#include <string>

#include "base/win32/unique_handles_win32.h"
#include "session/folder_space.h"

namespace dovrel::platform {
namespace {

// Paths are ANSI texts in the system's code page.
std::wstring Wide(const char* text) {
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  wide.resize(static_cast<std::size_t>(length) - 1);
  return wide;
}

std::int64_t Seconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<std::int64_t>(value.QuadPart / 10000000u);
}

}  // namespace

bool FreeBytes(const char* folder, std::uint64_t* bytes) {
  if (folder == nullptr || bytes == nullptr) return false;
  const std::wstring wide = Wide(folder);
  ULARGE_INTEGER available;
  if (wide.empty() || !::GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr))
    return false;
  *bytes = available.QuadPart;
  return true;
}

void ForEachFileAge(const char* folder,
                    const std::function<void(const char* name, std::int64_t ageSeconds)>& visit) {
  if (folder == nullptr) return;
  const std::string pattern = std::string(folder) + "\\*";
  WIN32_FIND_DATAA entry;
  const unique_find search(::FindFirstFileA(pattern.c_str(), &entry));
  if (!search) return;
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  do {
    if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
      continue;
    visit(entry.cFileName, Seconds(now) - Seconds(entry.ftLastWriteTime));
  } while (::FindNextFileA(search.get(), &entry));
}

}  // namespace dovrel::platform
