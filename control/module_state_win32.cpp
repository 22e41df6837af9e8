#include "control/module_state_win32.h"

namespace dovrel {
namespace {

HINSTANCE moduleInstance = nullptr;
LONG moduleLocks = 0;

}  // namespace

HINSTANCE ModuleInstance() { return moduleInstance; }
void SetModuleInstance(HINSTANCE instance) { moduleInstance = instance; }

void LockModule() { InterlockedIncrement(&moduleLocks); }
void UnlockModule() { InterlockedDecrement(&moduleLocks); }
bool ModuleInUse() { return InterlockedCompareExchange(&moduleLocks, 0, 0) != 0; }

}  // namespace dovrel
