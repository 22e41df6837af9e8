#pragma once
// What the tests of Dovrel.dll's registration share, by regsvr32 or by the
// installer: the script's registry entries as they must read, reading them in
// a registry view, running a program, and the script host's failure box.

#include <windows.h>

#include <string>
#include <vector>

namespace dovrel::test {

inline const std::wstring kClassKey = L"CLSID\\{4353DD09-2184-4D9A-857C-381D81148B93}";
inline const std::wstring kCategoriesKey = L"CLSID\\Component Categories\\";
inline const std::wstring kScriptingCategory = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
inline const std::wstring kInitialisingCategory = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
inline const std::wstring kTypeLibraryKey = L"TypeLib\\{F35BC737-756D-4933-885F-164789D3F51B}";
inline const std::wstring kInterfaceKey = L"Interface\\{96C6B417-0482-410F-83D2-EC8C07783E14}";

struct RegistryEntry {
  std::wstring key;     // below HKEY_CLASSES_ROOT
  const wchar_t* name;  // nullptr: the default value
  std::wstring value;   // or "<no value>"
};

// Every key and value of the registration script, for the module at `module`.
std::vector<RegistryEntry> ScriptEntries(const std::wstring& module);

// The value's text below `root` (HKEY_CLASSES_ROOT unless said) in `view` (0
// or KEY_WOW64_32KEY / _64KEY), "<no key>" or "<no value>".
std::wstring RegistryText(const std::wstring& path, const wchar_t* name = nullptr, REGSAM view = 0,
                          HKEY root = HKEY_CLASSES_ROOT);

// Runs a command line to its end (bounded); its exit code, -1 when it did not
// start or end. Standard output is collected into `output`.
int RunProgram(std::wstring commandLine, std::string* output = nullptr, DWORD timeoutMs = 120000);

// How this machine runs 32-bit programs, as the test command found it
// (DOVREL_32BIT): "native", "emulated" or "none"; "native" when not said.
std::wstring ThirtyTwoBitPrograms();

// A wait for another program to start and show something: under emulation a
// 32-bit program's start alone takes a minute or more (several in a new prefix).
DWORD ProgramWaitMs(DWORD nativeMs);

// The text of the box that ReceiveFile shows when `server` does not resolve.
std::wstring ExpectedFailureBox(const char* server, const std::wstring& wideServer);

}  // namespace dovrel::test
