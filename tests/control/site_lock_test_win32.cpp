// The site lock of the registered control, in a container that gives it a
// client site whose services lead to a browser showing a chosen page.
#include <windows.h>
#include <ole2.h>
#include <servprov.h>
#include <shlguid.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <vector>

#include "control/com_handles_win32.h"
#include "tests/control/box_watch_win32.h"
#include "tests/control/control_calls_win32.h"
#include "tests/control/fake_browser_win32.h"
#include "tests/control/registration_checks_win32.h"
#include "tests/control/session_checks_win32.h"
#include "tests/support/session_walk_win32.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_server.h"

namespace dovrel {
namespace {

const wchar_t kRefusal[] =
    L" 사이트에서는 자료 수신을 사용할 수 없습니다\n(허용되지 않은 사이트입니다)";

// A page's site: no container document, and the browser among its services.
class PageSite final : public IOleClientSite, public IServiceProvider {
 public:
  explicit PageSite(const wchar_t* address) : browser_(test::NewFakeBrowser(address)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    if (iid == IID_IServiceProvider) *out = static_cast<IServiceProvider*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }  // lives on the stack
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (service != SID_SWebBrowserApp || !browser_) return E_NOINTERFACE;
    return browser_.get()->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

 private:
  std::atomic<ULONG> references_{1};
  com_ptr<IUnknown> browser_;
};

// Calls ReceiveFile on a control sited in a page of `address`, the site let go afterwards.
std::wstring CallFromPage(const wchar_t* address, const std::string& options) {
  PageSite site(address);
  com_ptr<IUnknown> control = test::Create();
  com_ptr<IOleObject> embedding;
  if (!control || control.get()->QueryInterface(IID_IOleObject,
                                                reinterpret_cast<void**>(embedding.put())) != S_OK)
    return L"<failed>";
  embedding.get()->SetClientSite(&site);
  const std::wstring result = test::CallReceiveFile(control.get(), options);
  embedding.get()->SetClientSite(nullptr);
  return result;
}

// A policy value of the administrator's, removed when the test ends.
class PolicyValue {
 public:
  PolicyValue(DWORD type, const std::string& data) {
    HKEY key = nullptr;
    created_ =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies\\Dovrel", 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) == ERROR_SUCCESS &&
        RegSetValueExA(key, "AllowedSites", 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
    if (key != nullptr) RegCloseKey(key);
  }
  ~PolicyValue() {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies\\Dovrel", KEY_WOW64_64KEY, 0);
  }
  bool Created() const { return created_; }

 private:
  bool created_ = false;
};

// The module's built-in list, as an administrator reads it from the file.
std::wstring BuiltInList() {
  HMODULE module = LoadLibraryExW(DOVREL_MODULE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return L"<no module>";
  wchar_t text[512] = {};
  LoadStringW(module, 1000, text, 512);
  FreeLibrary(module);
  return text;
}

// The tests' list, as tools/test configures the build: without it the module
// allows every site and there is nothing to refuse.
bool BuiltWithTheTestList() { return BuiltInList() == L"bank.example;*.bank.example"; }

// The box a page sees: the site refusal, the connection failure (the page was
// allowed and the session went on to its server), or none.
std::wstring BoxForPage(const wchar_t* address) {
  test::BoxWatch box(L"오류", 30000);
  const std::wstring result = CallFromPage(address, "CONNECTIP=unknown-host.invalid");
  EXPECT_EQ(result, L"0") << address;
  return box.Text();
}

TEST(SiteLock, AnAllowedPageReceivesAndOneOffTheListGetsTheBoxUnheard) {
  if (!BuiltWithTheTestList())
    GTEST_SKIP() << "configure with -DDOVREL_ALLOWED_SITES=\"bank.example;*.bank.example\"";
  test::TestServer server("site-lock");
  ASSERT_TRUE(server.Ready()) << server.Error();
  const std::string options = test::SampleDayOptions(server);
  test::ForgetReceiveFolder();
  {
    // A refused page opens no window; one that shows is ended, so that the
    // test fails instead of waiting for it.
    std::atomic<bool> returned{false};
    auto guard = std::async(std::launch::async, [&returned] {
      for (int waited = 0; waited < 20000 && !returned; waited += 100) Sleep(100);
      if (!returned) test::AbandonReceiveSession(10000);
    });
    test::BoxWatch box(L"오류", 30000);
    EXPECT_EQ(CallFromPage(L"https://bank.example.evil.test/pay", options), L"0");
    returned = true;
    guard.get();
    EXPECT_EQ(box.Text(), std::wstring(L"bank.example.evil.test") + kRefusal);
  }
  EXPECT_EQ(server.CountRequests("GETLIST"), 0);
  EXPECT_EQ(server.CountRequests("INIT"), 0);

  test::TempFolder folder;
  ASSERT_TRUE(folder.Ok());
  auto walk = std::async(std::launch::async, [&folder] {
    std::vector<std::string> listed;
    const ::testing::AssertionResult walked = test::WalkReceiveSession(folder.Text(), &listed);
    if (!walked) test::AbandonReceiveSession();
    return walked;
  });
  EXPECT_EQ(CallFromPage(L"https://www.bank.example/pay?day=1", options), L"1");
  EXPECT_TRUE(walk.get());
  EXPECT_TRUE(test::ReceivedTheSampleDay(folder.Path()));
  EXPECT_GE(server.CountRequests("GETLIST"), 1);  // the log sees what the page may do
  test::ForgetReceiveFolder();
}

TEST(SiteLock, SubdomainsLookAlikesAndSchemes) {
  if (!BuiltWithTheTestList())
    GTEST_SKIP() << "configure with -DDOVREL_ALLOWED_SITES=\"bank.example;*.bank.example\"";
  const std::wstring allowed =
      test::ExpectedFailureBox("unknown-host.invalid", L"unknown-host.invalid");
  EXPECT_EQ(BoxForPage(L"https://pay.bank.example/"), allowed);
  EXPECT_EQ(BoxForPage(L"https://BANK.example:8443/x"), allowed);
  EXPECT_EQ(BoxForPage(L"https://evilbank.example/"), std::wstring(L"evilbank.example") + kRefusal);
  EXPECT_EQ(BoxForPage(L"http://bank.example/"), std::wstring(L"bank.example") + kRefusal);
  EXPECT_EQ(BoxForPage(L"https://bank.example@evil.test/"), std::wstring(L"evil.test") + kRefusal);
  // Never a best-fit look-alike of an allowed host, and never the page's text.
  EXPECT_EQ(BoxForPage(L"https://b\u0101nk.example/"), std::wstring(L"(알 수 없음)") + kRefusal);
}

TEST(SiteLock, ThePolicyNarrowsTheBuiltInListAndCannotWidenIt) {
  if (!BuiltWithTheTestList())
    GTEST_SKIP() << "configure with -DDOVREL_ALLOWED_SITES=\"bank.example;*.bank.example\"";
  const std::wstring allowed =
      test::ExpectedFailureBox("unknown-host.invalid", L"unknown-host.invalid");
  {
    const PolicyValue policy(REG_SZ, "www.bank.example;evil.test");
    ASSERT_TRUE(policy.Created());
    EXPECT_EQ(BoxForPage(L"https://www.bank.example/"), allowed);
    EXPECT_EQ(BoxForPage(L"https://pay.bank.example/"),
              std::wstring(L"pay.bank.example") + kRefusal);
    EXPECT_EQ(BoxForPage(L"https://evil.test/"), std::wstring(L"evil.test") + kRefusal);
  }
  {
    const PolicyValue damaged(REG_DWORD, "xyz");
    ASSERT_TRUE(damaged.Created());
    EXPECT_EQ(BoxForPage(L"https://www.bank.example/"),
              std::wstring(L"www.bank.example") + kRefusal);
  }
  EXPECT_EQ(BoxForPage(L"https://pay.bank.example/"),
            allowed);  // the policy gone, the build's list again
}

}  // namespace
}  // namespace dovrel
