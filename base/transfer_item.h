#pragma once
// One file chosen for download. Lists of them are contiguous arrays with a
// count; the server file list uses the same form with only the name filled.

#include <cstddef>

namespace dovrel {

inline constexpr std::size_t kTransferPathSize = 260;  // includes the terminating zero

struct TransferItem {
  char localPath[kTransferPathSize] = {};  // where the file is written
  char fileName[kTransferPathSize] = {};   // the name as the server listed it (wire text)
  unsigned char done = 0;                  // 1 once the file has been received and stored
};

}  // namespace dovrel
