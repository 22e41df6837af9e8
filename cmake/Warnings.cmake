# Project code builds warning-free; third-party code (GoogleTest) does not get these flags.
add_library(dovrel_warnings INTERFACE)
target_compile_options(dovrel_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Werror)

option(DOVREL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(DOVREL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Project targets link this for the warnings and, on Windows, a static runtime.
function(dovrel_target target)
  target_link_libraries(${target} PRIVATE dovrel_warnings)
endfunction()

# libFuzzer's instrumentation for every object; the targets add the fuzzer's main.
option(DOVREL_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(DOVREL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
