#pragma once
// How the platform names files. Windows names them in the ANSI code page, the
// wire's own; elsewhere the file system speaks UTF-8 and names are converted.

#include <cstddef>

namespace dovrel {

// Every path lives in a buffer of this many bytes, the terminating zero
// included: at most 259 characters.
inline constexpr std::size_t kPathSize = 260;

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr bool kFileNamesAreWireText = true;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr bool kFileNamesAreWireText = false;
#endif

}  // namespace dovrel
