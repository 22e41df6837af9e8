#pragma once
// Reads the header of a DER EncryptedData body in place: the file-sized
// encrypted content is located, never copied.

#include <cstddef>

#include "session/crypto_ptr.h"

namespace dovrel {

struct EncryptedDataParts {
  UniquePtr<X509_ALGOR> algorithm;  // the content-encryption algorithm identifier
  bool hasContent = false;          // the encrypted content is optional in the syntax
  std::size_t contentOffset = 0;    // from the start of the body
  std::size_t contentLength = 0;
};

// Handles the DER form: definite lengths throughout and the encrypted content
// as one primitive string. False for anything else, BER forms and damaged
// data alike; the library's full decoder then decides. Leaves no entries on
// the library's error queue.
bool ReadEncryptedDataParts(const unsigned char* der, std::size_t length,
                            EncryptedDataParts* parts);

}  // namespace dovrel
