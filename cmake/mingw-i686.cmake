set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(DOVREL_TRIPLE i686-w64-mingw32)
# Double arithmetic in SSE2 registers, rounded to 64 bits at every step as on
# x86_64; the x87 unit keeps 80-bit intermediates, so 29.0 / 100 * 100 would
# come out as 29 rather than 28.99.. and the progress position would differ.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
