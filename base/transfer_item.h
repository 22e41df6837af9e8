#pragma once
// One file chosen for download. Lists of them are contiguous arrays with a
// count; the server file list uses the same form with only the name filled.

#include "base/platform_paths.h"

namespace dovrel {

struct TransferItem {
  char localPath[kPathSize] = {};  // where the file is written
  char fileName[kPathSize] = {};   // the name as the server listed it (wire text)
  unsigned char done = 0;          // 1 once the file has been received and stored
};

}  // namespace dovrel
