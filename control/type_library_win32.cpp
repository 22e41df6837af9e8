#include "control/type_library_win32.h"

#include "control/com_handles_win32.h"
#include "control/module_state_win32.h"

namespace dovrel {
namespace {

HRESULT LoadModuleTypeLibrary(REGKIND kind, ITypeLib** library) {
  wchar_t path[MAX_PATH];
  if (!ModulePath(path, MAX_PATH)) return TYPE_E_CANTLOADLIBRARY;
  return LoadTypeLibEx(path, kind, library);
}

}  // namespace

bool ModulePath(wchar_t* path, DWORD capacity) {
  const DWORD length = GetModuleFileNameW(ModuleInstance(), path, capacity);
  return length > 0 && length < capacity;
}

HRESULT LoadModuleTypeInfo(REFGUID guid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  ITypeLib* raw = nullptr;
  HRESULT result = LoadModuleTypeLibrary(REGKIND_NONE, &raw);
  if (FAILED(result)) return result;
  com_ptr<ITypeLib> library(raw);
  return library.get()->GetTypeInfoOfGuid(guid, info);
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
