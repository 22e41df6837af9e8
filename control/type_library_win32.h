#pragma once
// The type library that the module carries as its resource 1, read straight
// from the module file: the object's IDispatch and class information come
// from it, and registration registers it.

#include <windows.h>
#include <oaidl.h>

namespace dovrel {

// The module's full path; false when it does not fit.
bool ModulePath(wchar_t* path, DWORD capacity);

// The type information of `guid` (the interface or the class) in the
// module's own type library.
HRESULT LoadModuleTypeInfo(REFGUID guid, ITypeInfo** info);

HRESULT RegisterModuleTypeLibrary();
HRESULT UnregisterModuleTypeLibrary();

}  // namespace dovrel
