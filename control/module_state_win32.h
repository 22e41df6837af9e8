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

// A lock on the module for as long as it lives: taken by code of the module
// that must not be unloaded under it, such as a receive session whose nested
// message loops may see the host let the object go.
class ModuleLock {
 public:
  ModuleLock() { LockModule(); }
  ~ModuleLock() { UnlockModule(); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};

}  // namespace dovrel
