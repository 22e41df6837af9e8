// The control's whole session in one process, as a script host drives it:
// the module registers itself, the object is created by its ProgID, and
// ReceiveFile runs through IDispatch while a thread walks its windows. It is
// all one program start, which matters where 32-bit programs run only
// through emulation at about a minute a start.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "control/com_handles_win32.h"
#include "tests/control/registration_checks_win32.h"
#include "tests/control/session_checks_win32.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_server.h"
#include "tests/support/script_call_win32.h"
#include "tests/support/session_walk_win32.h"

namespace dovrel::test {
namespace {

using ModuleEntry = HRESULT(STDAPICALLTYPE*)();

ModuleEntry Export(HMODULE module, const char* name) {
  return reinterpret_cast<ModuleEntry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST(WholeSession, RegisteredCreatedByProgIdAndReceivedInOneProcess) {
  ASSERT_EQ(OleInitialize(nullptr), S_OK);
  HMODULE module = LoadLibraryW(DOVREL_MODULE_PATH);
  ASSERT_NE(module, nullptr);
  ASSERT_EQ(Export(module, "DllRegisterServer")(), S_OK);
  ForgetReceiveFolder();

  TestServer server("plain");
  ASSERT_TRUE(server.Ready()) << server.Error();
  TempFolder folder;
  ASSERT_TRUE(folder.Ok());
  {
    CLSID id{};
    ASSERT_EQ(CLSIDFromProgID(L"Dovrel.Pelgrath", &id), S_OK);
    void* raw = nullptr;
    ASSERT_EQ(CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &raw), S_OK);
    com_ptr<IDispatch> control(static_cast<IDispatch*>(raw));

    std::vector<std::string> listed;
    auto walk = std::async(std::launch::async, [&] {
      ::testing::AssertionResult walked =
          WalkReceiveSession(folder.Text(), &listed, {}, ProgramWaitMs(60000));
      if (!walked) AbandonReceiveSession();
      return walked;
    });
    const std::wstring returned =
        CallByName(control.get(), L"ReceiveFile",
                   "CONNECTIP=127.0.0.1&CONNECTPORT=" + std::to_string(server.Port()) +
                       "&DATE=" + kSampleDate);
    EXPECT_TRUE(walk.get());
    EXPECT_EQ(returned, L"1");
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), FilesOfTheSampleDay());
    EXPECT_TRUE(ReceivedTheSampleDay(folder.Path()));
  }
  ForgetReceiveFolder();
  EXPECT_EQ(Export(module, "DllUnregisterServer")(), S_OK);
  FreeLibrary(module);
  CoFreeUnusedLibraries();
  OleUninitialize();
}

}  // namespace
}  // namespace dovrel::test

// Ends through ExitProcess once the results are out: where 32-bit programs run
// through qemu, this program's ordinary return from main dies in the
// runtime's teardown (with or without the module loaded, after every check),
// which would fail a run that passed.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::fflush(stdout);
  std::fflush(stderr);
  ExitProcess(static_cast<UINT>(result));
}
