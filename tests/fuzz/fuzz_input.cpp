#include "tests/fuzz/fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace dovrel::fuzz {

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

}  // namespace dovrel::fuzz
