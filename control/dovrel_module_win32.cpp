// The module's entry points: load and unload, the class object, whether it
// may unload, and registration by the script that the module carries.
#include <windows.h>
#include <olectl.h>

#include <map>
#include <string>
#include <vector>

#include "control/class_factory_win32.h"
#include "control/control_window_win32.h"
#include "control/dovrel_idl.h"
#include "control/module_state_win32.h"
#include "control/registry_editor_win32.h"
#include "ui/module_threads_win32.h"
#include "ui/resource_module_win32.h"
#include "control/type_library_win32.h"

namespace dovrel {
namespace {

constexpr int kRegistrationScriptId = 102;

// The script with %MODULE% standing for the module's path, in ANSI text.
bool LoadRegistrationScript(std::vector<ScriptKey>* keys) {
  HINSTANCE module = ModuleInstance();
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kRegistrationScriptId), "REGISTRY");
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const char* text = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (text == nullptr) return false;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  return ParseRegistrationScript(std::string(text, SizeofResource(module, found)),
                                 {{"MODULE", path}}, keys);
}

// The same script and type library for either scope; only the root differs.
HRESULT Register(RegistrationScope scope) {
  std::vector<ScriptKey> keys;
  if (!LoadRegistrationScript(&keys)) return E_UNEXPECTED;
  if (!ApplyRegistration(keys, ClassesEditor(scope))) return SELFREG_E_CLASS;
  return RegisterModuleTypeLibrary(scope);
}

HRESULT Unregister(RegistrationScope scope) {
  std::vector<ScriptKey> keys;
  if (!LoadRegistrationScript(&keys)) return E_UNEXPECTED;
  const bool removed = RemoveRegistration(keys, ClassesEditor(scope));
  const HRESULT library = UnregisterModuleTypeLibrary(scope);
  return !removed ? SELFREG_E_CLASS : library;
}

}  // namespace
}  // namespace dovrel

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    dovrel::SetModuleInstance(instance);
    dovrel::SetResourceModule(instance);  // the dialogs and pictures are this module's
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    dovrel::UnregisterControlWindowClass();
    // Unloaded by FreeLibrary, not at the process's end: the type library
    // code is still there to take its references back.
    if (reserved == nullptr) dovrel::ReleaseModuleTypeInfo();
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_Pelgrath)) return CLASS_E_CLASSNOTAVAILABLE;
  return dovrel::PelgrathClassFactory()->QueryInterface(iid, out);
}

// Threads left to finish (a worker of a closed progress window, a busy popup
// that did not end within its stop's wait) still run this module's code.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return dovrel::ModuleInUse() || dovrel::LiveModuleThreads() > 0 ? S_FALSE : S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return dovrel::Register(dovrel::RegistrationScope::kMachine);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return dovrel::Unregister(dovrel::RegistrationScope::kMachine);
}

// regsvr32 /n /i:user Dovrel.dll registers the control for the user alone,
// without elevation; /u /n /i:user removes it. Without "user" it is the
// machine's registration.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  dovrel::RegistrationScope scope = dovrel::RegistrationScope::kMachine;
  if (commandLine != nullptr && *commandLine != L'\0') {
    if (lstrcmpiW(commandLine, L"user") != 0) return E_INVALIDARG;
    scope = dovrel::RegistrationScope::kUser;
  }
  return install ? dovrel::Register(scope) : dovrel::Unregister(scope);
}
