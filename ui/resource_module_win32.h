#pragma once
// The module whose resources (dialogs, pictures) the windows load: the
// program itself unless the control's DLL names itself when it is loaded.

#include <windows.h>

namespace dovrel {

HINSTANCE ResourceModule();
void SetResourceModule(HINSTANCE module);

}  // namespace dovrel
