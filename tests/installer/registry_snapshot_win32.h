#pragma once
// The control's registry entries as text, to compare one registration with
// another: by the package or by regsvr32, per machine or per user.

#include <windows.h>

#include <string>

namespace dovrel::test {

// Where a registration's classes live: HKEY_CLASSES_ROOT per machine, the
// user's Software\Classes per user.
struct ClassesRoot {
  HKEY key;
  std::wstring prefix;  // "" or "Software\\Classes\\"
};
inline const ClassesRoot kMachineClasses{HKEY_CLASSES_ROOT, L""};
inline const ClassesRoot kUserClasses{HKEY_CURRENT_USER, L"Software\\Classes\\"};

// Every key and value of the subtrees that the registration script and the
// type library write, one line each, sorted, with paths below `root`'s
// classes (so that two roots compare directly): the shared ones (ProgIDs,
// type library) for view 0, else those each view has of its own.
std::wstring Snapshot(REGSAM view, const ClassesRoot& root = kMachineClasses);

// The default values of Chrome's, Edge's and Firefox's keys for the browser
// host under `root` in `view`, one a line ("<no key>" for a missing key).
std::wstring BrowserHostKeys(HKEY root, REGSAM view);
// What they hold for the host and its manifests installed into `folder`.
std::wstring BrowserHostKeysFor(const std::wstring& folder);
inline const std::wstring kNoBrowserHostKeys = L"<no key>\n<no key>\n<no key>\n";

std::wstring Expanded(const wchar_t* text);    // %NAME% replaced
std::string Narrow(const std::wstring& text);  // for messages: the texts are ASCII

}  // namespace dovrel::test
