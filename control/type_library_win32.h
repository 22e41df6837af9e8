#pragma once
// The type library that the module carries as its resource 1, read straight
// from the module file: the object's IDispatch and class information come
// from it, and registration registers it. Like the interface tables, the type
// information is the module's, not each object's: it is loaded once, on first
// use, and held until the module unloads.

#include <windows.h>
#include <oaidl.h>

#include "control/registry_editor_win32.h"

namespace dovrel {

// The module's full path; false when it does not fit.
bool ModulePath(wchar_t* path, DWORD capacity);

enum class ModuleType {
  kDispatch,  // the control's dispatch interface, IPelgrath
  kClass,     // the control's class, Pelgrath
};

// The module's type information of `type`, with a reference of the caller's
// own in `info`. Safe from objects on any thread.
HRESULT ModuleTypeInfo(ModuleType type, ITypeInfo** info);

// Lets the held type information go; called when the module unloads.
void ReleaseModuleTypeInfo();

// Per user, the library's entries go below HKEY_CURRENT_USER\Software\Classes.
HRESULT RegisterModuleTypeLibrary(RegistrationScope scope);
HRESULT UnregisterModuleTypeLibrary(RegistrationScope scope);

}  // namespace dovrel
