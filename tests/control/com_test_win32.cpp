// Dovrel.dll under Wine: registration by regsvr32, creation, the interface
// table, aggregation, dispatch, unloading, the seed file, a real ActiveX
// container and Wine's script host.
#include <windows.h>
#include <commctrl.h>
#include <objsafe.h>
#include <tlhelp32.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/win32/window_helpers_win32.h"
#include "control/com_handles_win32.h"
#include "control/dovrel_idl.h"
#include "resources/resource_ids.h"
#include "tests/control/box_watch_win32.h"
#include "tests/control/control_calls_win32.h"
#include "tests/control/registration_checks_win32.h"
#include "tests/control/session_checks_win32.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_server.h"
#include "tests/support/window_driver_win32.h"

namespace dovrel {
namespace {

const wchar_t kModule[] = DOVREL_MODULE_PATH;
using test::CallReceiveFile;
using test::Create;
using test::ExpectedFailureBox;
using test::ReadyWithStoredFolder;
using test::RegistryText;
using test::RunProgram;

// An export of a loaded module as the function type it has.
template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

int RegisterModule(bool unregister = false) {
  return RunProgram(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" +
                    kModule + L"\"");
}

std::wstring FullModulePath() {
  wchar_t path[MAX_PATH] = {};
  GetFullPathNameW(kModule, MAX_PATH, path, nullptr);
  return path;
}

// OLE for the whole program; the module stays registered between the tests.
class OleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    ASSERT_EQ(RegisterModule(), 0);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    OleUninitialize();
    RegisterModule(true);
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

TEST(Registration, WritesReplacesAndRemovesTheScriptsKeys) {
  ASSERT_EQ(RegisterModule(), 0);
  HKEY stray = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, (test::kClassKey + L"\\Stray").c_str(), &stray),
            ERROR_SUCCESS);
  RegCloseKey(stray);
  ASSERT_EQ(RegisterModule(), 0);  // the class key is replaced, not merged

  const std::wstring module = FullModulePath();
  std::vector<test::RegistryEntry> expected = test::ScriptEntries(module);
  expected.push_back({test::kClassKey + L"\\Stray", nullptr, L"<no key>"});
  for (const auto& e : expected) {
    EXPECT_EQ(RegistryText(e.key, e.name), e.value) << std::string(e.key.begin(), e.key.end());
  }
  CLSID resolved{};
  EXPECT_EQ(CLSIDFromProgID(L"Dovrel.Pelgrath", &resolved), S_OK);
  EXPECT_TRUE(IsEqualCLSID(resolved, CLSID_Pelgrath));
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadRegTypeLib(LIBID_DOVRELLib, 1, 0, LOCALE_NEUTRAL, &library), S_OK);
  library->Release();

  ASSERT_EQ(RegisterModule(true), 0);
  for (const wchar_t* gone : {L"Dovrel.Pelgrath.1", L"Dovrel.Pelgrath", test::kClassKey.c_str()}) {
    EXPECT_EQ(RegistryText(gone), L"<no key>") << gone;
  }
  EXPECT_NE(RegistryText(L"CLSID"), L"<no key>");
  EXPECT_NE(RegistryText(L"CLSID\\Component Categories"), L"<no key>");
  EXPECT_EQ(RegistryText(test::kTypeLibraryKey), L"<no key>");
  EXPECT_NE(LoadRegTypeLib(LIBID_DOVRELLib, 1, 0, LOCALE_NEUTRAL, &library), S_OK);
  ASSERT_EQ(RegisterModule(), 0);
}

TEST(Creation, ByProgIdAndClassIdWithTheInterfaceTable) {
  CLSID byProgId{};
  ASSERT_EQ(CLSIDFromProgID(L"Dovrel.Pelgrath.1", &byProgId), S_OK);
  void* raw = nullptr;
  ASSERT_EQ(CoCreateInstance(byProgId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &raw), S_OK);
  com_ptr<IUnknown> byName(static_cast<IUnknown*>(raw));

  com_ptr<IUnknown> object = Create();
  ASSERT_TRUE(object);
  const IID* const answered[] = {
      &IID_IPelgrath,
      &IID_IDispatch,
      &IID_IViewObjectEx,
      &IID_IViewObject2,
      &IID_IViewObject,
      &IID_IOleInPlaceObjectWindowless,
      &IID_IOleInPlaceObject,
      &IID_IOleWindow,
      &IID_IOleInPlaceActiveObject,
      &IID_IOleControl,
      &IID_IOleObject,
      &IID_IPersistStreamInit,
      &IID_IPersist,
      &IID_ISpecifyPropertyPages,
      &IID_IQuickActivate,
      &IID_IPersistStorage,
      &IID_IDataObject,
      &IID_IProvideClassInfo,
      &IID_IProvideClassInfo2,
  };
  void* first = nullptr;
  for (const IID* iid : answered) {
    void* found = nullptr;
    EXPECT_EQ(object.get()->QueryInterface(*iid, &found), S_OK);
    if (found == nullptr) continue;
    if (first == nullptr) first = found;
    static_cast<IUnknown*>(found)->Release();
  }
  void* unknown = nullptr;
  ASSERT_EQ(object.get()->QueryInterface(IID_IUnknown, &unknown), S_OK);
  EXPECT_EQ(unknown, first);
  static_cast<IUnknown*>(unknown)->Release();
  for (const IID* iid : {&IID_IObjectSafety, &IID_IConnectionPointContainer, &IID_ISupportErrorInfo,
                         &IID_IPersistPropertyBag, &IID_IClassFactory}) {
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(object.get()->QueryInterface(*iid, &refused), E_NOINTERFACE);
    EXPECT_EQ(refused, nullptr);
  }
  MULTI_QI misc{&IID_IOleObject, nullptr, S_OK};
  ASSERT_EQ(object.get()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&misc.pItf)),
            S_OK);
  com_ptr<IOleObject> ole(static_cast<IOleObject*>(misc.pItf));
  DWORD status = 0;
  EXPECT_EQ(ole.get()->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, 132497u);
}

// An outer object that counts what its inner asks of it.
struct Outer : IUnknown {
  ULONG references = 1;
  int queries = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    ++queries;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

TEST(Creation, AggregatedInAnOuterObject) {
  Outer outer;
  void* raw = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_Pelgrath, &outer, CLSCTX_INPROC_SERVER, IID_IPelgrath, &raw),
            CLASS_E_NOAGGREGATION);
  ASSERT_EQ(CoCreateInstance(CLSID_Pelgrath, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &raw),
            S_OK);
  com_ptr<IUnknown> inner(static_cast<IUnknown*>(raw));
  void* pelgrath = nullptr;
  ASSERT_EQ(inner.get()->QueryInterface(IID_IPelgrath, &pelgrath), S_OK);
  EXPECT_EQ(outer.references, 2u);  // the inner's interfaces count on the outer
  void* again = nullptr;
  EXPECT_EQ(static_cast<IUnknown*>(pelgrath)->QueryInterface(IID_IOleObject, &again),
            E_NOINTERFACE);
  EXPECT_EQ(outer.queries, 1);  // asked of the outer object
  static_cast<IUnknown*>(pelgrath)->Release();
  EXPECT_EQ(outer.references, 1u);
}

TEST(Dispatch, NamesAndInvokeByDispatchId) {
  com_ptr<IUnknown> object = Create(IID_IDispatch);
  auto* dispatch = static_cast<IDispatch*>(object.get());
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  wchar_t name[] = L"ReceiveFile";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  EXPECT_EQ(id, 1);
  wchar_t unknown[] = L"SendFile";
  names[0] = unknown;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
            DISP_E_UNKNOWNNAME);

  // A server named in Korean (percent-encoded code page 949) that no name service knows.
  unique_bstr options(SysAllocString(L"CONNECTIP=%C7%D1%B1%B9.invalid&DATE=20261208"));
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BSTR;
  argument.bstrVal = options.get();
  DISPPARAMS parameters{&argument, nullptr, 1, 0};
  VARIANT result;
  VariantInit(&result);
  test::BoxWatch box(L"오류");
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                             &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(box.Text(), ExpectedFailureBox("\xC7\xD1\xB1\xB9.invalid", L"한국.invalid"));
  EXPECT_FALSE(box.Owned());
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_STREQ(result.bstrVal, L"0");
  VariantClear(&result);

  IPelgrath* pelgrath = nullptr;
  ASSERT_EQ(object.get()->QueryInterface(IID_IPelgrath, reinterpret_cast<void**>(&pelgrath)), S_OK);
  EXPECT_EQ(pelgrath->ReceiveFile(options.get(), nullptr), E_POINTER);  // no session, no box
  pelgrath->Release();
}

// The module loaded once more, and its DllCanUnloadNow.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(kModule);
    ASSERT_NE(module_, nullptr);
    canUnload = Export<HRESULT(STDAPICALLTYPE*)()>(module_, "DllCanUnloadNow");
    ASSERT_NE(canUnload, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
  HRESULT(STDAPICALLTYPE* canUnload)() = nullptr;
};

TEST_F(ModuleTest, CanUnloadOnlyWithoutObjectsAndLocks) {
  EXPECT_EQ(canUnload(), S_OK);
  {
    com_ptr<IUnknown> object = Create();
    EXPECT_EQ(canUnload(), S_FALSE);
  }
  EXPECT_EQ(canUnload(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_Pelgrath, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(canUnload(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(canUnload(), S_OK);
  factory->Release();
}

// What the host does from inside the session's message box: lets the object
// go, as a page that is left does, and asks whether the module may go too.
struct LetGoDuringBox {
  IUnknown* object = nullptr;
  HRESULT(STDAPICALLTYPE* canUnload)() = nullptr;
  HRESULT answer = E_FAIL;
};
LetGoDuringBox* letGo = nullptr;

void CALLBACK LetGoOnceTheBoxShows(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = FindWindowW(L"#32770", L"오류");
  if (box == nullptr || !IsWindowVisible(box)) return;
  KillTimer(nullptr, timer);
  letGo->object->Release();
  letGo->object = nullptr;
  letGo->answer = letGo->canUnload();
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(ModuleTest, InUseWhileASessionRunsThoughTheHostLetTheObjectGo) {
  com_ptr<IUnknown> created = Create(IID_IPelgrath);
  ASSERT_TRUE(created);
  auto* pelgrath = static_cast<IPelgrath*>(created.release());
  LetGoDuringBox state{pelgrath, canUnload};
  letGo = &state;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, LetGoOnceTheBoxShows);
  ASSERT_NE(timer, 0u);
  unique_bstr options(SysAllocString(L"CONNECTIP=%C7%D1%B1%B9.invalid"));
  BSTR result = nullptr;
  EXPECT_EQ(pelgrath->ReceiveFile(options.get(), &result), S_OK);  // the box's loop lets it go
  unique_bstr held(result);
  letGo = nullptr;
  if (state.object != nullptr) {
    KillTimer(nullptr, timer);
    state.object->Release();
    ADD_FAILURE() << "the session's box did not show";
  }
  EXPECT_EQ(state.answer, S_FALSE) << "the session's code was still running";
  EXPECT_STREQ(result, L"0");
  EXPECT_EQ(canUnload(), S_OK);
}

// The threads of this process that are alive now.
std::set<DWORD> LiveThreads() {
  std::set<DWORD> threads;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return threads;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.insert(entry.th32ThreadID);
  }
  CloseHandle(snapshot);
  return threads;
}

// A visible dialog with this caption, found without asking any window for its
// text: a window of a thread that is held does not answer.
HWND WaitForDialog(const wchar_t* caption, int waitMs = 60000) {
  HWND found = nullptr;
  test::WaitFor(
      [&] {
        found = FindWindowW(L"#32770", caption);
        return found != nullptr && IsWindowVisible(found);
      },
      waitMs);
  return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

bool Exited(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

// Holds the busy popup's thread at the request to close, the one message of
// its own that it gets, until the test lets it go on.
HANDLE popupRelease = nullptr;
HHOOK popupHook = nullptr;
LRESULT CALLBACK HoldPopupAtItsClose(int code, WPARAM removal, LPARAM parameter) {
  const auto* message = reinterpret_cast<const MSG*>(parameter);
  if (code == HC_ACTION && removal == PM_REMOVE && message->message >= WM_APP) {
    WaitForSingleObject(popupRelease, 180000);
  }
  return CallNextHookEx(nullptr, code, removal, parameter);
}

// Threads that a session leaves behind run the module's code after
// ReceiveFile has returned and the host has let the object go: a busy popup
// whose thread did not end within its stop's wait (held here), and the
// download worker of a progress window ended while it ran. The module stays
// in use until each of them has exited.
TEST_F(ModuleTest, InUseUntilTheThreadsASessionLeftBehindHaveExited) {
  test::TestServer server("get-slow");
  test::TempFolder folder;
  ASSERT_TRUE(ReadyWithStoredFolder(server, folder));
  popupRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(popupRelease, nullptr);

  struct LeftBehind {
    HANDLE popup = nullptr;
    std::vector<HANDLE> workers;
  };
  auto drive = std::async(std::launch::async, [] {
    LeftBehind left;
    HWND popup = test::WaitForWindow(test::kDialogClass, "데이터 처리중입니다", 60000);
    if (popup == nullptr) return left;
    const DWORD popupThread = GetWindowThreadProcessId(popup, nullptr);
    left.popup = OpenThread(SYNCHRONIZE, FALSE, popupThread);
    popupHook = SetWindowsHookExW(WH_GETMESSAGE, HoldPopupAtItsClose, nullptr, popupThread);
    if (popupHook == nullptr) return left;
    HWND window = WaitForDialog(L"자료 수신");
    if (window == nullptr) return left;
    HWND list = GetDlgItem(window, IDC_RECEIVE_SERVER_LIST);
    if (!test::WaitFor([&] { return test::ListRowCount(list) > 0; })) return left;
    test::TickRow(list, 0, true);
    const std::set<DWORD> before = LiveThreads();
    test::PressButton(window, IDC_RECEIVE_RECEIVE);
    HWND progress = test::WaitForWindowWithControl(test::kDialogClass, IDC_PROGRESS_BAR,
                                                   PROGRESS_CLASSA, 60000);
    if (progress == nullptr) return left;
    // The worker waits for the slow server's reply when the window is ended.
    test::WaitFor([&] { return !test::ItemText(progress, IDC_PROGRESS_COUNT).empty(); });
    for (DWORD id : LiveThreads()) {
      if (before.count(id) != 0) continue;
      HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
      if (thread != nullptr) left.workers.push_back(thread);
    }
    PostMessageW(progress, WM_COMMAND, IDOK, 0);
    HWND summary = WaitForDialog(L"전송 결과");
    if (summary != nullptr) PostMessageW(summary, WM_COMMAND, IDOK, 0);
    test::PressButton(window, IDC_RECEIVE_CLOSE);
    return left;
  });
  com_ptr<IUnknown> object = Create(IID_IPelgrath);
  ASSERT_TRUE(object);
  const std::string options = test::SampleDayOptions(server);
  EXPECT_EQ(CallReceiveFile(object.get(), options), L"1");
  object.reset();
  LeftBehind left = drive.get();
  if (left.popup == nullptr || left.workers.empty()) SetEvent(popupRelease);
  ASSERT_NE(left.popup, nullptr) << "no busy popup";
  ASSERT_FALSE(left.workers.empty()) << "no worker";

  // The worker finishes its item while the popup is held still.
  bool unloadableEarly = false;
  const ULONGLONG end = GetTickCount64() + 30000;
  while (WaitForMultipleObjects(static_cast<DWORD>(left.workers.size()), left.workers.data(), TRUE,
                                0) != WAIT_OBJECT_0 &&
         GetTickCount64() < end) {
    if (canUnload() == S_OK) unloadableEarly = true;
    SwitchToThread();
  }
  EXPECT_FALSE(unloadableEarly) << "S_OK while the worker ran";
  EXPECT_FALSE(Exited(left.popup));
  EXPECT_EQ(canUnload(), S_FALSE) << "the popup's thread is still there";

  SetEvent(popupRelease);
  bool unloadable = false;
  bool popupExited = false;
  const ULONGLONG popupEnd = GetTickCount64() + 30000;
  while (!unloadable && GetTickCount64() < popupEnd) {
    unloadable = canUnload() == S_OK;
    if (unloadable) popupExited = Exited(left.popup);
    SwitchToThread();
  }
  EXPECT_TRUE(unloadable);
  EXPECT_TRUE(popupExited) << "S_OK before the popup's thread had exited";
  UnhookWindowsHookEx(popupHook);
  CloseHandle(popupRelease);
  CloseHandle(left.popup);
  for (HANDLE worker : left.workers) CloseHandle(worker);
  test::ForgetReceiveFolder();
}

std::string SeedFile() {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  std::ifstream file(std::filesystem::path(std::wstring(folder) + L"\\rand"), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TEST(Module, EveryCreationRewritesTheSeedFile) {
  Create();
  const std::string first = SeedFile();
  EXPECT_EQ(first.size(), 1024u);
  Create();  // created only to be released
  const std::string second = SeedFile();
  EXPECT_EQ(second.size(), 1024u);
  EXPECT_NE(first, second);
}

// Wine's own ActiveX container: atl.dll's "AtlAxWin" window given the ProgID.
TEST(Container, SitedActivatedAndReleasedInAtlAxWin) {
  HMODULE atl = LoadLibraryW(L"atl.dll");
  ASSERT_NE(atl, nullptr);
  auto init = Export<BOOL(WINAPI*)()>(atl, "AtlAxWinInit");
  auto getControl = Export<HRESULT(WINAPI*)(HWND, IUnknown**)>(atl, "AtlAxGetControl");
  ASSERT_TRUE(init != nullptr && getControl != nullptr && init());
  HWND frame = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                               200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(frame, nullptr);
  HWND host = CreateWindowExW(0, L"AtlAxWin", L"Dovrel.Pelgrath", WS_CHILD | WS_VISIBLE, 10, 10,
                              100, 50, frame, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  {
    IUnknown* raw = nullptr;
    ASSERT_EQ(getControl(host, &raw), S_OK);
    com_ptr<IUnknown> control(raw);
    IOleObject* ole = nullptr;
    ASSERT_EQ(raw->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
    com_ptr<IOleObject> hold(ole);
    IOleClientSite* site = nullptr;
    EXPECT_EQ(ole->GetClientSite(&site), S_OK);
    ASSERT_NE(site, nullptr);  // sited
    site->Release();
    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(raw->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    HWND window = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&window), S_OK);  // activated in place, in a window of its own
    EXPECT_TRUE(window != nullptr && GetParent(window) == host);
    inPlace->Release();
  }
  DestroyWindow(frame);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);

  HMODULE module = GetModuleHandleW(kModule);
  ASSERT_NE(module, nullptr);
  auto canUnload = Export<HRESULT(STDAPICALLTYPE*)()>(module, "DllCanUnloadNow");
  EXPECT_EQ(canUnload(), S_OK);  // no object outlived its container
}

// The page's window owns the session's windows, so it is disabled while they
// are open, also when no window of the page's thread was active at the call.
TEST(Container, ThePagesWindowIsDisabledWhileTheSessionsWindowIsOpen) {
  test::TestServer server("plain");
  test::TempFolder folder;
  ASSERT_TRUE(ReadyWithStoredFolder(server, folder));
  HMODULE atl = LoadLibraryW(L"atl.dll");
  ASSERT_NE(atl, nullptr);
  auto init = Export<BOOL(WINAPI*)()>(atl, "AtlAxWinInit");
  auto getControl = Export<HRESULT(WINAPI*)(HWND, IUnknown**)>(atl, "AtlAxGetControl");
  ASSERT_TRUE(init != nullptr && getControl != nullptr);
  init();  // the class may be there from an earlier test
  HWND page = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                              nullptr, nullptr, nullptr);
  ASSERT_NE(page, nullptr);
  HWND host = CreateWindowExW(0, L"AtlAxWin", L"Dovrel.Pelgrath", WS_CHILD | WS_VISIBLE, 10, 10,
                              100, 50, page, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  ShowWindow(page, SW_SHOWNA);
  SetActiveWindow(nullptr);
  EXPECT_EQ(GetActiveWindow(), nullptr);
  {
    IUnknown* raw = nullptr;
    ASSERT_EQ(getControl(host, &raw), S_OK);
    com_ptr<IUnknown> control(raw);
    struct Seen {
      HWND owner = nullptr;
      bool pageEnabled = true;
    };
    auto drive = std::async(std::launch::async, [page] {
      Seen seen;
      HWND window = test::WaitForWindow(test::kDialogClass, "자료 수신", 60000);
      if (window == nullptr) return seen;
      seen.owner = GetWindow(window, GW_OWNER);
      seen.pageEnabled = IsWindowEnabled(page) != FALSE;
      test::PressButton(window, IDC_RECEIVE_CLOSE);
      return seen;
    });
    const std::string options = test::SampleDayOptions(server);
    EXPECT_EQ(CallReceiveFile(control.get(), options), L"1");
    const Seen seen = drive.get();
    EXPECT_EQ(seen.owner, page);
    EXPECT_FALSE(seen.pageEnabled);
    EXPECT_TRUE(IsWindowEnabled(page));
  }
  DestroyWindow(page);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  test::ForgetReceiveFolder();
}

// Runs `script` (ANSI text) in Wine's script host, from a file of this name in
// the temporary folder: its exit code, and what it printed in `output`.
int RunScript(const wchar_t* name, const std::string& script, std::string* output) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + name;
  std::ofstream(std::filesystem::path(path), std::ios::binary) << script;
  const int code = RunProgram(L"cscript.exe //nologo \"" + path + L"\"", output);
  DeleteFileW(path.c_str());
  return code;
}

// Wine's script host in a process of its own, with each scripting language.
TEST(ScriptHost, UnresolvableServerShowsTheErrorBoxAndReturnsZero) {
  const struct {
    const wchar_t* file;
    const char* script;
  } scripts[] = {
      {L"dovrel-test.js",
       "var control = new ActiveXObject(\"Dovrel.Pelgrath\");\r\n"
       "WScript.Echo(\"[\" + "
       "control.ReceiveFile(\"CONNECTIP=\\uD55C\\uAD6D.invalid&CONNECTPORT=1\") + \"]\");\r\n"},
      {L"dovrel-test.vbs",
       "Set control = CreateObject(\"Dovrel.Pelgrath\")\r\n"
       "WScript.Echo \"[\" & control.ReceiveFile(\"connectip=%C7%D1%B1%B9.invalid\") & \"]\"\r\n"},
  };
  for (const auto& s : scripts) {
    std::string output;
    test::BoxWatch box(L"오류");
    EXPECT_EQ(RunScript(s.file, s.script, &output), 0) << s.script;
    EXPECT_EQ(box.Text(), ExpectedFailureBox("\xC7\xD1\xB1\xB9.invalid", L"한국.invalid"))
        << s.script;
    EXPECT_NE(output.find("[0]"), std::string::npos) << s.script << output;
  }
}

// The box's texts are Korean whatever the machine's ANSI code page: the test
// control_com_tests_cp1252 runs this in a locale whose code page is 1252.
TEST(ScriptHost, TheErrorBoxReadsInKoreanUnderAnotherAnsiCodePage) {
  if (const char* expected = std::getenv("DOVREL_EXPECT_ANSI_CODE_PAGE")) {
    ASSERT_EQ(std::to_string(GetACP()), expected);
  }
  std::string output;
  {
    test::BoxWatch box(L"오류", 30000);
    EXPECT_EQ(
        RunScript(L"dovrel-test-1252.vbs",
                  "Set control = CreateObject(\"Dovrel.Pelgrath\")\r\n"
                  "WScript.Echo \"[\" & control.ReceiveFile(\"connectip=%C7%D1%B1%B9.invalid\") "
                  "& \"]\"\r\n",
                  &output),
        0);
    EXPECT_EQ(box.Text(), ExpectedFailureBox("\xC7\xD1\xB1\xB9.invalid", L"한국.invalid"));
  }
  EXPECT_NE(output.find("[0]"), std::string::npos) << output;
}

// The example page's own script (examples/receive.js) in the script host,
// with a stand-in document: each outcome gets its own status text, and the
// real control's "0" (a server name that does not resolve) follows its box.
TEST(ScriptHost, TheExamplePagesScriptTellsItsOutcomesApart) {
  std::ifstream source(DOVREL_EXAMPLE_SCRIPT, std::ios::binary);
  ASSERT_TRUE(source) << DOVREL_EXAMPLE_SCRIPT;
  const std::string page((std::istreambuf_iterator<char>(source)),
                         std::istreambuf_iterator<char>());
  const char* const harness = R"js(
function Element() { this.nodes = []; this.firstChild = null; }
Element.prototype.appendChild = function (node) { this.nodes.push(node); this.firstChild = this.nodes[0]; };
Element.prototype.removeChild = function (node) {
  this.nodes.shift();
  this.firstChild = this.nodes.length ? this.nodes[0] : null;
};
var page = { status: new Element(), options: { elements: {
  server: { value: "files.bank.example" }, port: { value: "41900" }, date: { value: "" },
  user: { value: "u 01&x" } } } };
var document = {
  getElementById: function (id) { return page[id]; },
  createTextNode: function (text) { return { data: text }; }
};
page.status.appendChild({ data: "before" });
function attempt(name, control) {
  page.dovrel = control;
  var outcome = receive();
  var shown = page.status.nodes.length === 1 && page.status.firstChild.data === statusTexts[outcome];
  WScript.Echo("[" + name + ":" + outcome + ":" + shown + "]");
}
var passed = "";
attempt("none", null);
attempt("loading", { readyState: 1 });
attempt("loadingText", { readyState: "loading" });
attempt("blocked", { readyState: 4 });
attempt("throws", { ReceiveFile: function () { throw new Error("denied"); } });
attempt("closed", { ReceiveFile: function (text) { passed = text; return "1"; } });
WScript.Echo("[options:" + passed + "]");
page.options.elements.server.value = "\uD55C\uAD6D.invalid";
attempt("zero", new ActiveXObject("Dovrel.Pelgrath"));
)js";
  // The script host reads a script in the ANSI code page; the page is UTF-8.
  const std::wstring wide = Utf8ToWide(page + harness);
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0], size,
                      nullptr, nullptr);
  std::string output;
  {
    test::BoxWatch box(L"오류");
    EXPECT_EQ(RunScript(L"dovrel-example-page.js", ansi, &output), 0);
    EXPECT_EQ(box.Text(), ExpectedFailureBox("\xC7\xD1\xB1\xB9.invalid", L"한국.invalid"));
  }
  for (const char* line :
       {"[none:missing:true]", "[loading:installing:true]", "[loadingText:installing:true]",
        "[blocked:missing:true]", "[throws:thrown:true]", "[closed:closed:true]",
        "[options:CONNECTIP=files.bank.example&CONNECTPORT=41900&USERID=u+01%26x]",
        "[zero:notStarted:true]"}) {
    EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
  }
}

}  // namespace
}  // namespace dovrel
