#include "tests/fuzz/fuzz_keys.h"

#include <cstdlib>
#include <filesystem>

namespace dovrel::fuzz {

SessionKeys FuzzKeys() {
  SessionKeys keys;
  for (unsigned i = 0; i < sizeof keys.sessionKey; ++i)
    keys.sessionKey[i] = static_cast<unsigned char>(1 + i);
  for (unsigned i = 0; i < sizeof keys.initVector; ++i)
    keys.initVector[i] = static_cast<unsigned char>(0x11 + i);
  return keys;
}

const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "dovrel-fuzz-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    return std::string(made ? made : ".");
  }();
  return folder;
}

}  // namespace dovrel::fuzz
