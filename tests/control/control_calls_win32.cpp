#include "tests/control/control_calls_win32.h"

#include "control/dovrel_idl.h"
#include "tests/control/session_checks_win32.h"

namespace dovrel::test {

com_ptr<IUnknown> Create(REFIID iid) {
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_Pelgrath, nullptr, CLSCTX_INPROC_SERVER, iid, &object), S_OK);
  return com_ptr<IUnknown>(static_cast<IUnknown*>(object));
}

void StoreReceiveFolder(const std::string& folder) {
  ForgetReceiveFolder();
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvanta\\Orsenn", 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "PayListPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>(folder.size() + 1));
  RegCloseKey(key);
}

::testing::AssertionResult ReadyWithStoredFolder(const TestServer& server,
                                                 const TempFolder& folder) {
  if (!server.Ready()) return ::testing::AssertionFailure() << server.Error();
  if (!folder.Ok()) return ::testing::AssertionFailure() << "no temporary folder";
  StoreReceiveFolder(folder.Text());
  if (::testing::Test::HasFatalFailure())
    return ::testing::AssertionFailure() << "the receive folder could not be stored";
  return ::testing::AssertionSuccess();
}

std::string SampleDayOptions(const TestServer& server) {
  return "CONNECTIP=127.0.0.1&CONNECTPORT=" + std::to_string(server.Port()) +
         "&DATE=" + kSampleDate;
}

std::wstring CallReceiveFile(IUnknown* object, const std::string& options) {
  IPelgrath* pelgrath = nullptr;
  if (object->QueryInterface(IID_IPelgrath, reinterpret_cast<void**>(&pelgrath)) != S_OK)
    return L"<failed>";
  com_ptr<IPelgrath> hold(pelgrath);
  unique_bstr text(SysAllocString(std::wstring(options.begin(), options.end()).c_str()));
  unique_bstr result;
  if (pelgrath->ReceiveFile(text.get(), result.put()) != S_OK || !result) return L"<failed>";
  return std::wstring(result.get());
}

}  // namespace dovrel::test
