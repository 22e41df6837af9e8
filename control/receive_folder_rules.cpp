#include "control/receive_folder_rules.h"

namespace dovrel {

bool AcceptStoredFolder(const char (&local)[kPathSize], unsigned long reportedSize,
                        std::size_t callerSize) {
  // A value too large for the buffer leaves it empty; one without its zero
  // still ends inside it unless it fills all 260 bytes.
  if (local[0] == '\0' || local[kPathSize - 1] != '\0') return false;
  return reportedSize < callerSize;
}

const StoredFolderRead* ChooseStoredFolder(const StoredFolderRead& user,
                                           const StoredFolderRead& machine,
                                           std::size_t callerSize) {
  // A user's value that loading refuses counts as none, so the machine's
  // default still serves.
  if (AcceptStoredFolder(user.local, user.reportedSize, callerSize)) return &user;
  if (AcceptStoredFolder(machine.local, machine.reportedSize, callerSize)) return &machine;
  return nullptr;
}

}  // namespace dovrel
