#pragma once
// The session's random material: the preparation of the generator that draws
// the session keys (run at the creation of every control object; it primes the
// generator from, and rewrites, the seed file "rand" in the user's temporary
// folder), and the Key text that carries what was drawn to the server.

#include <cstddef>

#include "base/platform_paths.h"
#include "session/session_keys.h"

namespace dovrel {

inline constexpr long kSeedLoadLimit = 1048576;

// The seed file's path: the temporary folder as the platform reports it, then
// the separator and "rand" (on Windows the folder already ends in a
// separator, so the path holds a doubled one, which the platform accepts).
// False when the folder is unknown or the path does not fit.
bool RandomSeedPath(char* path, std::size_t capacity);

// Loads the cipher providers, empties the seed file, then loads it, writes it,
// loads it and writes it again; afterwards it holds 1024 bytes of generator
// output. Always reports success: a seed file that cannot be written leaves
// the generator to its own entropy.
bool PrepareRandomSource();

inline constexpr std::size_t kKeyTextLength = 71;  // without the terminating zero

// Writes "sessionkey=%s&initvector=%s" with each byte of the key, then of the
// initial vector, as two lower-case hexadecimal digits, zero-terminated.
// Returns the length (71), or -1 when `capacity` has no room for it and the zero.
int FormatKeyText(const unsigned char key[kSessionKeySize], const unsigned char iv[kInitVectorSize],
                  char* out, std::size_t capacity);

}  // namespace dovrel
