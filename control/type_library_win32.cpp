#include "control/type_library_win32.h"

#include <cstddef>

#include "control/com_handles_win32.h"
#include "control/dovrel_idl.h"
#include "control/module_state_win32.h"

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
  return library.get()->GetTypeInfoOfGuid(guid, info);
}

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

HRESULT RegisterModuleTypeLibrary() {
  ITypeLib* raw = nullptr;
  HRESULT result = LoadModuleTypeLibrary(REGKIND_REGISTER, &raw);
  if (SUCCEEDED(result)) raw->Release();
  return result;
}

HRESULT UnregisterModuleTypeLibrary() {
  ITypeLib* raw = nullptr;
  HRESULT result = LoadModuleTypeLibrary(REGKIND_NONE, &raw);
  if (FAILED(result)) return result;
  com_ptr<ITypeLib> library(raw);
  TLIBATTR* attributes = nullptr;
  result = library.get()->GetLibAttr(&attributes);
  if (FAILED(result)) return result;
  result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                             attributes->lcid, attributes->syskind);
  library.get()->ReleaseTLibAttr(attributes);
  // Not registered is what unregistering wants.
  return result == TYPE_E_REGISTRYACCESS || result == TYPE_E_CANTLOADLIBRARY ? S_OK : result;
}

}  // namespace dovrel
