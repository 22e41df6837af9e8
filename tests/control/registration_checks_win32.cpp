#include "tests/control/registration_checks_win32.h"

#include <cstring>

#include "base/win32/unique_handles_win32.h"
#include "control/server_name_check.h"

namespace dovrel::test {

std::vector<RegistryEntry> ScriptEntries(const std::wstring& module) {
  const std::wstring& c = kClassKey;
  return {
      {L"Dovrel.Pelgrath.1", nullptr, L"Pelgrath Class"},
      {L"Dovrel.Pelgrath.1\\CLSID", nullptr, L"{4353DD09-2184-4D9A-857C-381D81148B93}"},
      {L"Dovrel.Pelgrath", nullptr, L"Pelgrath Class"},
      {L"Dovrel.Pelgrath\\CLSID", nullptr, L"{4353DD09-2184-4D9A-857C-381D81148B93}"},
      {L"Dovrel.Pelgrath\\CurVer", nullptr, L"Dovrel.Pelgrath.1"},
      {kCategoriesKey + kScriptingCategory, nullptr, L"0"},
      {kCategoriesKey + kScriptingCategory + L"\\800", nullptr, L"Safe for scripting"},
      {kCategoriesKey + kInitialisingCategory, nullptr, L"0"},
      {kCategoriesKey + kInitialisingCategory + L"\\800", nullptr, L"Safe for initializing"},
      {c, nullptr, L"Pelgrath Class"},
      {c + L"\\ProgID", nullptr, L"Dovrel.Pelgrath.1"},
      {c + L"\\VersionIndependentProgID", nullptr, L"Dovrel.Pelgrath"},
      {c + L"\\Programmable", nullptr, L"<no value>"},
      {c + L"\\InprocServer32", nullptr, module},
      {c + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {c + L"\\Control", nullptr, L"<no value>"},
      {c + L"\\Insertable", nullptr, L"<no value>"},
      {c + L"\\ToolboxBitmap32", nullptr, module + L", 101"},
      {c + L"\\MiscStatus", nullptr, L"0"},
      {c + L"\\MiscStatus\\1", nullptr, L"132497"},
      {c + L"\\TypeLib", nullptr, L"{F35BC737-756D-4933-885F-164789D3F51B}"},
      {c + L"\\Version", nullptr, L"1.0"},
      {c + L"\\Implemented Categories\\" + kScriptingCategory, nullptr, L"<no value>"},
      {c + L"\\Implemented Categories\\" + kInitialisingCategory, nullptr, L"<no value>"},
  };
}

std::wstring RegistryText(const std::wstring& path, const wchar_t* name, REGSAM view, HKEY root) {
  unique_hkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
    return L"<no key>";
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
      ERROR_SUCCESS) {
    return L"<no value>";
  }
  return data;
}

int RunProgram(std::wstring commandLine, std::string* output, DWORD timeoutMs) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) return -1;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  DWORD code = static_cast<DWORD>(-1);
  if (started) {
    std::string collected;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
      collected.append(buffer, got);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process.hProcess, &code);
    } else {
      TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (output != nullptr) *output = collected;
  }
  CloseHandle(readEnd);
  return static_cast<int>(code);
}

std::wstring ThirtyTwoBitPrograms() {
  wchar_t kind[16] = {};
  const DWORD length = GetEnvironmentVariableW(L"DOVREL_32BIT", kind, 16);
  return length > 0 && length < 16 ? kind : L"native";
}

DWORD ProgramWaitMs(DWORD nativeMs) {
  return ThirtyTwoBitPrograms() == L"emulated" ? nativeMs * 10 : nativeMs;
}

std::wstring ExpectedFailureBox(const char* server, const std::wstring& wideServer) {
  char reason[256];
  entry::ResolveServerAddress(server, reason, sizeof reason);
  return wideServer + L" 접속에 실패하였습니다\n(" +
         std::wstring(reason, reason + std::strlen(reason)) + L")";
}

}  // namespace dovrel::test
