// The browser interface is large and only get_LocationURL is ever asked of
// it here, so its function table is built by name in C layout, the rest empty.
#define CINTERFACE
#include <windows.h>
#include <exdisp.h>

#include <atomic>
#include <new>
#include <string>

#include "tests/control/fake_browser_win32.h"

namespace dovrel::test {
namespace {

struct FakeBrowser {
  IWebBrowser2 face;  // first: the object's address is the interface's
  std::atomic<ULONG> references{1};
  std::wstring address;
};

FakeBrowser* Self(IWebBrowser2* face) { return reinterpret_cast<FakeBrowser*>(face); }

HRESULT STDMETHODCALLTYPE QueryInterface(IWebBrowser2* face, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IWebBrowser) || IsEqualIID(iid, IID_IWebBrowserApp) ||
      IsEqualIID(iid, IID_IWebBrowser2)) {
    *out = face;
    face->lpVtbl->AddRef(face);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE AddRef(IWebBrowser2* face) { return ++Self(face)->references; }
ULONG STDMETHODCALLTYPE Release(IWebBrowser2* face) {
  const ULONG left = --Self(face)->references;
  if (left == 0) delete Self(face);
  return left;
}
HRESULT STDMETHODCALLTYPE LocationUrl(IWebBrowser2* face, BSTR* address) {
  if (address == nullptr) return E_POINTER;
  *address = SysAllocString(Self(face)->address.c_str());
  return *address != nullptr ? S_OK : E_OUTOFMEMORY;
}

IWebBrowser2Vtbl MakeTable() {
  IWebBrowser2Vtbl table{};
  table.QueryInterface = QueryInterface;
  table.AddRef = AddRef;
  table.Release = Release;
  table.get_LocationURL = LocationUrl;
  return table;
}
IWebBrowser2Vtbl kTable = MakeTable();

}  // namespace

IUnknown* NewFakeBrowser(const wchar_t* address) {
  auto* browser = new (std::nothrow) FakeBrowser;
  if (browser == nullptr) return nullptr;
  browser->face.lpVtbl = &kTable;
  browser->address = address;
  return reinterpret_cast<IUnknown*>(&browser->face);
}

}  // namespace dovrel::test
