#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "base/platform_paths.h"
#include "base/win32/policy_value_win32.h"
#include "control/receive_folder_setting_win32.h"
#include "host/platform.h"
#include "host/receive_folder_check.h"

namespace dovrel::host {

PolicyValue ReadSitePolicy() { return ReadPolicyValue("AllowedSites"); }

bool ReceiveFolder(std::string* folder, std::string* messageUtf8) {
  char stored[kPathSize] = {};
  LoadReceiveFolder(stored, sizeof stored);
  return CheckReceiveFolder(stored, folder, messageUtf8);
}

void PrepareStdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace dovrel::host
