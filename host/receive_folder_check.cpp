#include "host/receive_folder_check.h"

#include "base/platform_paths.h"
#include "net/wire_text.h"
#include "session/directory.h"
#include "ui/receive_actions.h"

namespace dovrel::host {

bool CheckReceiveFolder(const std::string& stored, std::string* folder, std::string* messageUtf8) {
  const WireText& names = kFileNamesAreWireText ? PlatformWireText() : IdentityWireText();
  *messageUtf8 = ReceiveFolderProblem(stored, PlatformDirectorySource(), names);
  if (!messageUtf8->empty()) return false;
  *folder = stored;
  return true;
}

}  // namespace dovrel::host
