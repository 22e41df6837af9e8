// The Windows Installer package in a fresh Wine prefix (tests/installer/
// fresh-prefix-test): msiexec /i registers the control in each registry view
// the package writes and the script host can call it; msiexec /x removes it
// all; and regsvr32 of the same files writes the same entries. The tests run
// in order, each on what the one before it left.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/win32/unique_handles_win32.h"
#include "control/dovrel_idl.h"
#include "tests/control/box_watch_win32.h"
#include "tests/control/control_calls_win32.h"
#include "tests/control/registration_checks_win32.h"
#include "tests/installer/registry_snapshot_win32.h"

namespace dovrel::test {
namespace {

const wchar_t kPackage[] = DOVREL_INSTALLER_PACKAGE;

// A registry view the package writes, with its module and that module's tools.
struct View {
  REGSAM flag;
  std::wstring folder;
  const wchar_t* platform;
  std::wstring systemFolder;  // its regsvr32 and cscript
  bool runsPrograms;          // whether its regsvr32 and cscript can run here
  std::wstring Module() const { return folder + L"\\Dovrel.dll"; }
};

std::vector<View> Views() {
  wchar_t wow64[MAX_PATH] = {}, system[MAX_PATH] = {};
  GetSystemWow64DirectoryW(wow64, MAX_PATH);
  GetSystemDirectoryW(system, MAX_PATH);
  // Where 32-bit programs cannot run, a 64-bit run leaves out the 32-bit
  // view's programs.
  const bool wow64Programs = sizeof(void*) == 4 || ThirtyTwoBitPrograms() != L"none";
  std::vector<View> views = {
      {KEY_WOW64_32KEY, Expanded(L"%ProgramFiles(x86)%\\Dovrel"), L"win32", wow64, wow64Programs}};
  if (sizeof(void*) == 8) {
    views.push_back({KEY_WOW64_64KEY, Expanded(L"%ProgramW6432%\\Dovrel"), L"win64", system, true});
  }
  if (!wow64Programs) {
    std::printf("left out: the 32-bit view's regsvr32 and cscript (no 32-bit programs here)\n");
  }
  return views;
}

// What RegisterTypeLib writes for the module's type library. HELPDIR is one
// value for both views: the last module's folder, as the package writes them.
std::vector<RegistryEntry> TypeLibraryEntries(const View& view) {
  const std::wstring library = kTypeLibraryKey + L"\\1.0";
  const std::wstring proxy = L"{00020424-0000-0000-C000-000000000046}";
  return {
      {library, nullptr, L"Dovrel 1.0 Type Library"},
      {library + L"\\0\\" + view.platform, nullptr, view.Module()},
      {library + L"\\FLAGS", nullptr, L"8"},
      {library + L"\\HELPDIR", nullptr, Views().back().folder},
      {kInterfaceKey, nullptr, L"IPelgrath"},
      {kInterfaceKey + L"\\ProxyStubClsid", nullptr, proxy},
      {kInterfaceKey + L"\\ProxyStubClsid32", nullptr, proxy},
      {kInterfaceKey + L"\\TypeLib", nullptr, L"{F35BC737-756D-4933-885F-164789D3F51B}"},
      {kInterfaceKey + L"\\TypeLib", L"Version", L"1.0"},
  };
}

std::map<REGSAM, std::wstring> installed;  // the snapshots after the install

TEST(Installer, InstallRegistersTheControlInEachViewForTheScriptHost) {
  ASSERT_EQ(RunProgram(L"msiexec.exe /i \"" + std::wstring(kPackage) + L"\" /qn"), 0);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring script = std::wstring(temp) + L"dovrel-installed.js";
  std::ofstream(std::filesystem::path(script), std::ios::binary)
      << "var control = new ActiveXObject(\"Dovrel.Pelgrath\");\r\n"
         "WScript.Echo(\"[\" + control.ReceiveFile(\"CONNECTIP=\\uD55C\\uAD6D.invalid\") + "
         "\"]\");\r\n";
  for (const View& view : Views()) {
    std::vector<RegistryEntry> expected = ScriptEntries(view.Module());
    const std::vector<RegistryEntry> library = TypeLibraryEntries(view);
    expected.insert(expected.end(), library.begin(), library.end());
    for (const RegistryEntry& e : expected) {
      EXPECT_EQ(RegistryText(e.key, e.name, view.flag), e.value) << Narrow(view.platform + e.key);
    }
    installed[view.flag] = Snapshot(view.flag);
    EXPECT_NE(installed[view.flag].find(view.Module()), std::wstring::npos);
    // The browser host of the package's width, registered in every view.
    EXPECT_EQ(BrowserHostKeys(HKEY_LOCAL_MACHINE, view.flag),
              BrowserHostKeysFor(Views().back().folder));
    installed[0] = Snapshot(0);
    if (!view.runsPrograms) continue;

    std::string output;
    BoxWatch box(L"오류", ProgramWaitMs(60000));
    EXPECT_EQ(RunProgram(view.systemFolder + L"\\cscript.exe //nologo \"" + script + L"\"", &output,
                         ProgramWaitMs(120000)),
              0);
    EXPECT_EQ(box.Text(), ExpectedFailureBox("\xC7\xD1\xB1\xB9.invalid", L"한국.invalid"));
    EXPECT_NE(output.find("[0]"), std::string::npos) << Narrow(view.platform) << output;
  }
  DeleteFileW(script.c_str());
}

std::wstring KeptCopy(const View& view) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"dovrel-" + view.platform + L".dll";
}

TEST(Installer, UninstallRemovesWhatTheInstallAddedAndKeepsTheKeptKeys) {
  for (const View& view : Views()) {
    ASSERT_TRUE(CopyFileW(view.Module().c_str(), KeptCopy(view).c_str(), FALSE));
  }
  ASSERT_EQ(RunProgram(L"msiexec.exe /x \"" + std::wstring(kPackage) + L"\" /qn"), 0);
  for (const View& view : Views()) {
    EXPECT_EQ(Snapshot(view.flag), L"");
    EXPECT_EQ(Snapshot(0), L"");
    EXPECT_NE(RegistryText(L"CLSID", nullptr, view.flag), L"<no key>");
    // The installer deletes every key its removals empty; a value that the
    // package never removes keeps this one.
    EXPECT_EQ(RegistryText(L"CLSID\\Component Categories", L"Dovrel", view.flag), L"kept");
    EXPECT_EQ(GetFileAttributesW(view.Module().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(BrowserHostKeys(HKEY_LOCAL_MACHINE, view.flag), kNoBrowserHostKeys);
  }
}

// The package's rows against regsvr32 of the same files at the same paths.
TEST(Installer, WritesWhatRegsvr32Writes) {
  std::vector<View> views = Views();
  // The last module registered first: HELPDIR is shared by the views, and
  // RegisterTypeLib keeps the first one written.
  std::reverse(views.begin(), views.end());
  bool everyView = true;
  for (const View& view : views) {
    if (!view.runsPrograms) {
      everyView = false;
      installed.erase(view.flag);
      continue;
    }
    CreateDirectoryW(view.folder.c_str(), nullptr);
    ASSERT_TRUE(MoveFileW(KeptCopy(view).c_str(), view.Module().c_str()));
    ASSERT_EQ(RunProgram(view.systemFolder + L"\\regsvr32.exe /s \"" + view.Module() + L"\"",
                         nullptr, ProgramWaitMs(120000)),
              0);
  }
  // The keys both views share hold what each view's regsvr32 wrote.
  if (!everyView) installed.erase(0);
  // A 32-bit package cannot write the 64-bit view, where RegisterTypeLib
  // also registers the interface; only the views the package writes count.
  for (const auto& [view, snapshot] : installed) {
    EXPECT_EQ(Narrow(Snapshot(view)), Narrow(snapshot)) << "view " << view;
  }
}

// The control as the user's own entries name it, created in this process:
// Wine's COM reads only the machine's classes (the user's Software\Classes
// is not merged into HKEY_CLASSES_ROOT, Wine bug 14771), so the
// script host cannot find a per-user control here as Windows' does.
std::wstring ReceiveFileFromUserEntries(REGSAM view, const std::string& options) {
  const std::wstring module = RegistryText(kUserClasses.prefix + kClassKey + L"\\InprocServer32",
                                           nullptr, view, kUserClasses.key);
  unique_module library(LoadLibraryW(module.c_str()));
  if (!library) return L"<no module " + module + L">";
  auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  if (getClassObject == nullptr ||
      getClassObject(CLSID_Pelgrath, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK)
    return L"<no class object>";
  com_ptr<IClassFactory> holdFactory(factory);
  IUnknown* object = nullptr;
  if (factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)) != S_OK)
    return L"<not created>";
  com_ptr<IUnknown> holdObject(object);
  return CallReceiveFile(object, options);
}

// `snapshot` without the lines of the type library's other platform.
std::wstring WithoutPlatform(const std::wstring& snapshot, const std::wstring& platform) {
  const std::wstring marker = L"\\0\\" + platform;
  std::wstring out;
  for (std::size_t at = 0; at < snapshot.size();) {
    const std::size_t newline = snapshot.find(L'\n', at);
    const std::size_t end = newline == std::wstring::npos ? snapshot.size() : newline + 1;
    const std::wstring line = snapshot.substr(at, end - at);
    if (line.find(marker) == std::wstring::npos) out += line;
    at = end;
  }
  return out;
}

// regsvr32 /n /i:user writes what regsvr32 wrote per machine above, below the
// user's classes and nowhere else; the control runs from those entries; and
// /u /n /i:user takes them all away. In this program's own view only: Wine
// keeps one Software\Classes\CLSID for the user in both views.
TEST(Installer, UserRegistrationWritesTheSameEntriesBelowTheUsersClasses) {
  const REGSAM ownView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  const std::vector<View> views = Views();
  const View& own = views.back();
  ASSERT_EQ(own.flag, ownView);
  std::map<REGSAM, std::wstring> machine;
  for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)})
    machine[view] = Snapshot(view);
  const auto regsvr32 = [&own](const wchar_t* arguments) {
    return RunProgram(
        own.systemFolder + L"\\regsvr32.exe /s " + arguments + L" \"" + own.Module() + L"\"",
        nullptr, ProgramWaitMs(120000));
  };

  ASSERT_EQ(regsvr32(L"/n /i:user"), 0);
  ASSERT_EQ(installed.count(ownView), 1u);
  EXPECT_EQ(Narrow(Snapshot(ownView, kUserClasses)), Narrow(installed[ownView]));
  if (installed.count(0) != 0) {
    const std::wstring shared =
        views.size() == 2 ? WithoutPlatform(installed[0], L"win32") : installed[0];
    EXPECT_EQ(Narrow(Snapshot(0, kUserClasses)), Narrow(shared));
  }
  for (const auto& [view, snapshot] : machine) {
    EXPECT_EQ(Narrow(Snapshot(view)), Narrow(snapshot)) << "machine's view " << view;
  }

  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  {
    BoxWatch box(L"오류");
    EXPECT_EQ(ReceiveFileFromUserEntries(ownView, "CONNECTIP=per-user.invalid"), L"0");
    EXPECT_EQ(box.Text(), ExpectedFailureBox("per-user.invalid", L"per-user.invalid"));
  }
  CoUninitialize();

  EXPECT_EQ(regsvr32(L"/u /n /i:user"), 0);
  EXPECT_EQ(Narrow(Snapshot(ownView, kUserClasses)), "");
  EXPECT_EQ(Narrow(Snapshot(0, kUserClasses)), "");
}

}  // namespace
}  // namespace dovrel::test
