#pragma once
// Threads that run this module's code past the call that started them: the
// busy popup's and the download worker's. Each keeps the module loaded until
// it has exited: the module is referenced before the thread starts, and the
// thread lets go of it as its very last act (FreeLibraryAndExitThread), so no
// code of the module runs once the reference is gone. The module may be
// unloaded only while none of them is alive.

#include <windows.h>

#include <functional>

namespace dovrel {

// Runs `procedure(parameter)` on a new thread; its handle, which the caller
// closes, or null when no thread could be started (then `procedure` never runs).
HANDLE StartModuleThread(LPTHREAD_START_ROUTINE procedure, void* parameter);

// The same for a body that nobody joins: this module's ThreadStart
// (session/download_thread.h). False when no thread could be started.
bool StartDetachedModuleThread(std::function<void()> body);

// Threads started by StartModuleThread that have not yet exited.
int LiveModuleThreads();

}  // namespace dovrel
