#pragma once
// The installer's registry rows: what DllRegisterServer writes (the
// registration script and the type library's registration), as rows of a
// Windows Installer package, so that the package writes the same entries
// without running the module.
//
// Windows Installer semantics used: a value row is removed at uninstall and a
// key left empty by that goes with it; a key row "*" is created at install and
// deleted whole at uninstall; "+" is created at install and never deleted; a
// RemoveRegistry row deletes a key whole before the install writes its rows.

#include <string>
#include <vector>

#include "control/registration_script.h"

namespace dovrel::installer {

struct Row {
  enum class Kind { kValue, kCreateKey, kCreateAndRemoveKey };
  Kind kind = Kind::kValue;
  std::string key;    // below HKEY_CLASSES_ROOT
  std::string name;   // a value's name; "" the default value
  std::string value;  // Windows Installer formatted text
};

struct Rows {
  std::vector<Row> module;            // installed and removed with the module
  std::vector<Row> kept;              // a permanent component's: never removed
  std::vector<std::string> replaced;  // deleted whole before the install writes
};

// The value that keeps a kept key that the uninstall would leave empty: the
// installer deletes every key that its removals empty, kept or not.
inline constexpr char kKeptAnchorName[] = "Dovrel";
inline constexpr char kKeptAnchorValue[] = "kept";

// What the script's %MODULE% is replaced by when it is parsed for the rows.
inline constexpr char kModuleMarker[] = "\x01";

// The script's keys as rows, with each kModuleMarker written as `module`, a
// formatted reference to the installed file ("[#FileId]").
Rows ScriptRows(const std::vector<ScriptKey>& keys, const std::string& module);

// What RegisterTypeLib writes for the type library, read from its IDL.
struct Interface {
  std::string iid;  // braced, upper case
  std::string name;
  bool dispatchOnly = false;  // a dispinterface, not dual
};
struct TypeLibrary {
  std::string libid;    // braced, upper case
  std::string version;  // "major.minor", in hexadecimal digits as registered
  std::string description;
  unsigned flags = 0;
  unsigned lcid = 0;
  std::vector<Interface> interfaces;  // dual, OLE automation and dispatch ones
};
bool ReadTypeLibrary(const std::string& idl, TypeLibrary* library);

// The type library's rows for the module at `modulePath` in `folder` (both
// formatted text), for a 32-bit or 64-bit module.
std::vector<Row> TypeLibraryRows(const TypeLibrary& library, const std::string& modulePath,
                                 const std::string& folder, bool win64);

// `text` as formatted text that stands for itself.
std::string FormattedText(const std::string& text);

// Where the rows' keys are written. HKEY_CLASSES_ROOT rows go to the
// machine's Software\Classes, or in a per-user install to the user's; the
// per-user package names the user's outright, because Wine's installer writes
// HKEY_CLASSES_ROOT rows to the machine's classes in either context.
struct ClassesRoot {
  const char* wix;     // the RegistryValue's Root
  int table;           // the RemoveRegistry table's Root
  const char* prefix;  // before each key
};
inline constexpr ClassesRoot kClassesRoot{"HKCR", 0, ""};
inline constexpr ClassesRoot kUserClasses{"HKCU", 1, "Software\\Classes\\"};

// WiX RegistryValue elements under `root`, with ids `<idPrefix><n>`; the first
// row is the key path when `firstIsKeyPath`.
std::string WixElements(const std::vector<Row>& rows, const std::string& idPrefix,
                        bool firstIsKeyPath, const ClassesRoot& root = kClassesRoot);

// The RemoveRegistry table (Windows Installer's text archive form) that
// deletes each key, one list per component.
struct Removal {
  std::string component;
  std::vector<std::string> keys;
};
std::string RemoveRegistryTable(const std::vector<Removal>& removals,
                                const ClassesRoot& root = kClassesRoot);

}  // namespace dovrel::installer
