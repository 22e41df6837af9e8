// The per-user package, and RECEIVEFOLDER in it and in the per-machine one.
// These run after the Installer tests in the same fresh prefix; each installs
// and uninstalls what it needs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/control/registration_checks_win32.h"
#include "tests/installer/registry_snapshot_win32.h"

namespace dovrel::test {
namespace {

const wchar_t kUserPackage[] = DOVREL_USER_PACKAGE;
const wchar_t kMachinePackage[] = DOVREL_INSTALLER_PACKAGE;
// The receive folder's value, as the control reads it: the 32-bit view.
const std::wstring kFolderKey = L"SOFTWARE\\Morvanta\\Orsenn";
const wchar_t kFolderValue[] = L"PayListPath";
const std::wstring kFolder = L"C:\\수신자료";

int Msiexec(const wchar_t* action, const wchar_t* package, const std::wstring& properties = L"") {
  return RunProgram(std::wstring(L"msiexec.exe ") + action + L" \"" + package + L"\" " +
                    properties + L" /qn");
}

std::wstring Folder(HKEY root) {
  return RegistryText(kFolderKey, kFolderValue, KEY_WOW64_32KEY, root);
}

// What the machine holds of the control: its classes in each view (under Wine
// HKEY_CLASSES_ROOT is the machine's classes alone) and its folder value.
std::wstring MachineState() {
  return Snapshot(0) + Snapshot(KEY_WOW64_32KEY) + Snapshot(KEY_WOW64_64KEY) +
         Folder(HKEY_LOCAL_MACHINE) + L"\n" +
         RegistryText(kFolderKey, kFolderValue, KEY_WOW64_64KEY, HKEY_LOCAL_MACHINE);
}

TEST(UserPackage, InstallsIntoTheProfileAndTheUsersClassesOnly) {
  const std::wstring folder = Expanded(L"%LOCALAPPDATA%\\Dovrel");
  const std::wstring module = folder + L"\\Dovrel.dll";
  const std::wstring before = MachineState();
  ASSERT_EQ(Msiexec(L"/i", kUserPackage, L"RECEIVEFOLDER=\"" + kFolder + L"\""), 0);
  EXPECT_EQ(MachineState(), before);
  EXPECT_NE(GetFileAttributesW(module.c_str()), INVALID_FILE_ATTRIBUTES);
  const std::wstring classes = Snapshot(KEY_WOW64_32KEY, kUserClasses);
  EXPECT_NE(classes.find(kClassKey + L"\\InprocServer32 [] = " + module + L"\n"),
            std::wstring::npos)
      << Narrow(classes);
  const std::wstring shared = Snapshot(0, kUserClasses);
  EXPECT_NE(shared.find(kTypeLibraryKey + L"\\1.0\\0\\win32 [] = " + module + L"\n"),
            std::wstring::npos)
      << Narrow(shared);
  EXPECT_NE(shared.find(kTypeLibraryKey + L"\\1.0\\HELPDIR [] = " + folder + L"\n"),
            std::wstring::npos);
  EXPECT_EQ(Folder(HKEY_CURRENT_USER), kFolder);
  EXPECT_EQ(BrowserHostKeys(HKEY_CURRENT_USER, 0), BrowserHostKeysFor(folder));

  // With the property given again, only the component's permanence keeps the
  // value: without it, a component whose condition is false is left alone.
  ASSERT_EQ(Msiexec(L"/x", kUserPackage, L"RECEIVEFOLDER=\"" + kFolder + L"\""), 0);
  EXPECT_EQ(Snapshot(KEY_WOW64_32KEY, kUserClasses), L"");
  EXPECT_EQ(Snapshot(0, kUserClasses), L"");
  EXPECT_EQ(GetFileAttributesW(module.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(BrowserHostKeys(HKEY_CURRENT_USER, 0), kNoBrowserHostKeys);
  // The folder is the user's data: the uninstall leaves it.
  EXPECT_EQ(Folder(HKEY_CURRENT_USER), kFolder);
  EXPECT_EQ(MachineState(), before);
}

TEST(MachinePackage, WritesTheMachinesFolderOnlyWhenGivenAndKeepsIt) {
  // Without the property the value stays as it was (in a fresh prefix: none).
  const std::wstring before = Folder(HKEY_LOCAL_MACHINE);
  ASSERT_EQ(Msiexec(L"/i", kMachinePackage), 0);
  EXPECT_EQ(Folder(HKEY_LOCAL_MACHINE), before);
  ASSERT_EQ(Msiexec(L"/x", kMachinePackage), 0);

  const std::wstring folder = L"D:\\수신자료";
  ASSERT_EQ(Msiexec(L"/i", kMachinePackage, L"RECEIVEFOLDER=\"" + folder + L"\""), 0);
  EXPECT_EQ(Folder(HKEY_LOCAL_MACHINE), folder);
  ASSERT_EQ(Msiexec(L"/x", kMachinePackage, L"RECEIVEFOLDER=\"" + folder + L"\""), 0);
  EXPECT_EQ(Folder(HKEY_LOCAL_MACHINE), folder);
}

}  // namespace
}  // namespace dovrel::test
