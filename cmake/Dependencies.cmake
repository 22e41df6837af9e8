# OpenSSL: the system's libssl-dev natively; cross-built static libcrypto and libssl for Windows.
if(WIN32)
  set(OPENSSL_USE_STATIC_LIBS TRUE)
  # Link the C and C++ runtimes and winpthread statically: the programs and the
  # control then need only the system's own DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto SSL)
if(WIN32)
  set_property(TARGET OpenSSL::Crypto APPEND PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 crypt32 user32 advapi32)
endif()

# GoogleTest: the system's package natively; built from Debian's sources for Windows.
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)
include(${CMAKE_CURRENT_LIST_DIR}/Testing.cmake)
