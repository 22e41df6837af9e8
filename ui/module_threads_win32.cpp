#include "ui/module_threads_win32.h"

#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace dovrel {
namespace {

struct ThreadStart {
  LPTHREAD_START_ROUTINE procedure;
  void* parameter;
  HMODULE module;
};

// The handles of the threads started, kept until each has exited.
std::mutex& ThreadsLock() {
  static std::mutex lock;
  return lock;
}
std::vector<HANDLE>& Threads() {
  static std::vector<HANDLE> threads;
  return threads;
}

void ForgetExitedLocked() {
  std::vector<HANDLE>& threads = Threads();
  for (auto at = threads.begin(); at != threads.end();) {
    if (WaitForSingleObject(*at, 0) == WAIT_OBJECT_0) {
      CloseHandle(*at);
      at = threads.erase(at);
    } else {
      ++at;
    }
  }
}

DWORD WINAPI ModuleThread(void* parameter) {
  const ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  const DWORD code = start.procedure(start.parameter);
  FreeLibraryAndExitThread(start.module, code);
  return code;  // not reached
}

// The body goes, and with it all it holds, before the thread lets the module go.
DWORD WINAPI BodyThread(void* parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

HANDLE StartModuleThread(LPTHREAD_START_ROUTINE procedure, void* parameter) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&ModuleThread)),
                          &module)) {
    return nullptr;
  }
  std::unique_ptr<ThreadStart> start(new (std::nothrow) ThreadStart{procedure, parameter, module});
  if (!start) {
    FreeLibrary(module);
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(ThreadsLock());
  ForgetExitedLocked();
  Threads().reserve(Threads().size() + 1);  // the push below cannot fail
  // Suspended until it is on the list, so that it counts before it runs.
  HANDLE thread = CreateThread(nullptr, 0, ModuleThread, start.get(), CREATE_SUSPENDED, nullptr);
  HANDLE kept = nullptr;
  if (thread == nullptr || !DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &kept,
                                            SYNCHRONIZE, FALSE, 0)) {
    if (thread != nullptr) {
      TerminateThread(thread, 1);  // never ran
      CloseHandle(thread);
    }
    FreeLibrary(module);
    return nullptr;
  }
  start.release();  // the thread's from here on
  Threads().push_back(kept);
  ResumeThread(thread);
  return thread;
}

bool StartDetachedModuleThread(std::function<void()> body) {
  auto* owned = new (std::nothrow) std::function<void()>(std::move(body));
  if (owned == nullptr) return false;
  HANDLE thread = StartModuleThread(BodyThread, owned);
  if (thread == nullptr) {
    delete owned;
    return false;
  }
  CloseHandle(thread);
  return true;
}

int LiveModuleThreads() {
  std::lock_guard<std::mutex> hold(ThreadsLock());
  ForgetExitedLocked();
  return static_cast<int>(Threads().size());
}

}  // namespace dovrel
