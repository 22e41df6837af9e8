#pragma once
// The module's own state: its instance handle and one count of the live
// objects and server locks, changed with interlocked operations because
// objects on several apartment threads share the loaded module.

#include <windows.h>

namespace dovrel {

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

void LockModule();    // an object was made or a server lock taken
void UnlockModule();  // one of them went
bool ModuleInUse();

}  // namespace dovrel
