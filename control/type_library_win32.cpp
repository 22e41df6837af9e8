#include "control/type_library_win32.h"

#include <cstddef>

#include "control/com_handles_win32.h"
#include "control/dovrel_idl.h"
#include "control/module_state_win32.h"
#include "base/win32/unique_handles_win32.h"

namespace dovrel {
namespace {

// One per ModuleType, in its order. `info` (an ITypeInfo*) is set once, by
// whichever thread loads it first, and cleared only at unload.
struct HeldTypeInfo {
  const GUID* guid;
  void* info;
};
HeldTypeInfo heldTypeInfo[] = {{&IID_IPelgrath, nullptr}, {&CLSID_Pelgrath, nullptr}};

HRESULT LoadModuleTypeLibrary(REGKIND kind, ITypeLib** library) {
  wchar_t path[MAX_PATH];
  if (!ModulePath(path, MAX_PATH)) return TYPE_E_CANTLOADLIBRARY;
  return LoadTypeLibEx(path, kind, library);
}

HRESULT LoadModuleTypeInfo(REFGUID guid, ITypeInfo** info) {
  ITypeLib* raw = nullptr;
  HRESULT result = LoadModuleTypeLibrary(REGKIND_NONE, &raw);
  if (FAILED(result)) return result;
  com_ptr<ITypeLib> library(raw);
  return library->GetTypeInfoOfGuid(guid, info);
}

// RegisterTypeLib and UnRegisterTypeLib write below HKEY_CLASSES_ROOT. For a
// user's own registration this process's HKEY_CLASSES_ROOT stands for the
// user's classes while they run: RegisterTypeLibForUser would do the same on
// Windows, but Wine's registers machine-wide. Registration runs in a program
// of its own (regsvr32), so pointing the process's root elsewhere for a moment
// touches nothing else.
class ClassesRootFor {
 public:
  explicit ClassesRootFor(RegistrationScope scope) {
    if (scope != RegistrationScope::kUser) return;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, userClasses_.put(),
                        nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses_.get()) != ERROR_SUCCESS) {
      failed_ = true;
    }
  }
  ~ClassesRootFor() {
    if (userClasses_ && !failed_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  }
  ClassesRootFor(const ClassesRootFor&) = delete;
  ClassesRootFor& operator=(const ClassesRootFor&) = delete;
  bool Failed() const { return failed_; }

 private:
  unique_hkey userClasses_;
  bool failed_ = false;
};

}  // namespace

bool ModulePath(wchar_t* path, DWORD capacity) {
  const DWORD length = GetModuleFileNameW(ModuleInstance(), path, capacity);
  return length > 0 && length < capacity;
}

HRESULT ModuleTypeInfo(ModuleType type, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  HeldTypeInfo& slot = heldTypeInfo[static_cast<std::size_t>(type)];
  auto* held =
      static_cast<ITypeInfo*>(InterlockedCompareExchangePointer(&slot.info, nullptr, nullptr));
  if (held == nullptr) {
    ITypeInfo* loaded = nullptr;
    const HRESULT result = LoadModuleTypeInfo(*slot.guid, &loaded);
    if (FAILED(result)) return result;
    held = static_cast<ITypeInfo*>(InterlockedCompareExchangePointer(&slot.info, loaded, nullptr));
    if (held == nullptr) {
      held = loaded;
    } else {
      loaded->Release();  // another thread's copy was held first
    }
  }
  held->AddRef();
  *info = held;
  return S_OK;
}

void ReleaseModuleTypeInfo() {
  for (HeldTypeInfo& slot : heldTypeInfo) {
    auto* held = static_cast<ITypeInfo*>(InterlockedExchangePointer(&slot.info, nullptr));
    if (held != nullptr) held->Release();
  }
}

HRESULT RegisterModuleTypeLibrary(RegistrationScope scope) {
  ClassesRootFor root(scope);
  if (root.Failed()) return TYPE_E_REGISTRYACCESS;
  ITypeLib* raw = nullptr;
  HRESULT result = LoadModuleTypeLibrary(REGKIND_REGISTER, &raw);
  if (SUCCEEDED(result)) raw->Release();
  return result;
}

HRESULT UnregisterModuleTypeLibrary(RegistrationScope scope) {
  ClassesRootFor root(scope);
  if (root.Failed()) return TYPE_E_REGISTRYACCESS;
  ITypeLib* raw = nullptr;
  HRESULT result = LoadModuleTypeLibrary(REGKIND_NONE, &raw);
  if (FAILED(result)) return result;
  com_ptr<ITypeLib> library(raw);
  TLIBATTR* attributes = nullptr;
  result = library->GetLibAttr(&attributes);
  if (FAILED(result)) return result;
  result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                             attributes->lcid, attributes->syskind);
  library->ReleaseTLibAttr(attributes);
  // Not registered is what unregistering wants.
  return result == TYPE_E_REGISTRYACCESS || result == TYPE_E_CANTLOADLIBRARY ? S_OK : result;
}

}  // namespace dovrel
