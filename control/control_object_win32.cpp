// The control object's identity: creation, the interface table, reference
// counting and the dispatch side.
#include "control/control_object_win32.h"

#include <new>

#include "control/interface_table_win32.h"
#include "control/module_state_win32.h"
#include "control/receive_file_win32.h"
#include "control/type_library_win32.h"
#include "session/random_source.h"

namespace dovrel {
namespace {

using Entry = InterfaceEntry<Pelgrath>;

const Entry kInterfaces[] = {
    {&IID_IPelgrath, InterfaceOf<Pelgrath, IPelgrath>},
    {&IID_IDispatch, InterfaceOf<Pelgrath, IDispatch, IPelgrath>},
    {&IID_IViewObjectEx, InterfaceOf<Pelgrath, IViewObjectEx>},
    {&IID_IViewObject2, InterfaceOf<Pelgrath, IViewObject2, IViewObjectEx>},
    {&IID_IViewObject, InterfaceOf<Pelgrath, IViewObject, IViewObjectEx>},
    {&IID_IOleInPlaceObjectWindowless, InterfaceOf<Pelgrath, IOleInPlaceObjectWindowless>},
    {&IID_IOleInPlaceObject, InterfaceOf<Pelgrath, IOleInPlaceObject, IOleInPlaceObjectWindowless>},
    {&IID_IOleWindow, InterfaceOf<Pelgrath, IOleWindow, IOleInPlaceObjectWindowless>},
    {&IID_IOleInPlaceActiveObject, InterfaceOf<Pelgrath, IOleInPlaceActiveObject>},
    {&IID_IOleControl, InterfaceOf<Pelgrath, IOleControl>},
    {&IID_IOleObject, InterfaceOf<Pelgrath, IOleObject>},
    {&IID_IPersistStreamInit, InterfaceOf<Pelgrath, IPersistStreamInit>},
    {&IID_IPersist, InterfaceOf<Pelgrath, IPersist, IPersistStreamInit>},
    {&IID_ISpecifyPropertyPages, InterfaceOf<Pelgrath, ISpecifyPropertyPages>},
    {&IID_IQuickActivate, InterfaceOf<Pelgrath, IQuickActivate>},
    {&IID_IPersistStorage, InterfaceOf<Pelgrath, IPersistStorage>},
    {&IID_IDataObject, InterfaceOf<Pelgrath, IDataObject>},
    {&IID_IProvideClassInfo, InterfaceOf<Pelgrath, IProvideClassInfo, IProvideClassInfo2>},
    {&IID_IProvideClassInfo2, InterfaceOf<Pelgrath, IProvideClassInfo2>},
};
static_assert(sizeof kInterfaces / sizeof kInterfaces[0] == 19);

}  // namespace

HRESULT CreatePelgrath(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  Pelgrath* object = new (std::nothrow) Pelgrath(outer);
  if (object == nullptr) return E_OUTOFMEMORY;
  PrepareRandomSource();
  // The inner unknown holds the one reference made so far; asking for the
  // interface adds one, and letting go of the first leaves the caller's.
  HRESULT result = object->inner.QueryInterface(iid, out);
  object->inner.Release();
  return result;
}

Pelgrath::Pelgrath(IUnknown* outerUnknown)
    : outer(outerUnknown != nullptr ? outerUnknown : &inner) {
  inner.self = this;
  LockModule();
}

Pelgrath::~Pelgrath() {
  // A host that let go without deactivating: no calls back into its site now.
  if (window != nullptr) DestroyWindow(window);
  UnlockModule();
}

HRESULT Pelgrath::Inner::QueryInterface(REFIID iid, void** out) {
  if (out != nullptr && IsEqualIID(iid, IID_IUnknown) && self->outer != this) {
    *out = static_cast<IUnknown*>(this);  // the aggregate asks for the inner unknown
    AddRef();
    return S_OK;
  }
  return QueryFromTable(self, kInterfaces, iid, out);
}

// The object lives on one apartment thread: a plain counter serves.
ULONG Pelgrath::Inner::AddRef() { return ++references; }

ULONG Pelgrath::Inner::Release() {
  const ULONG left = --references;
  if (left == 0) delete self;
  return left;
}

HRESULT Pelgrath::QueryInterface(REFIID iid, void** out) { return outer->QueryInterface(iid, out); }
ULONG Pelgrath::AddRef() { return outer->AddRef(); }
ULONG Pelgrath::Release() { return outer->Release(); }

HRESULT Pelgrath::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT Pelgrath::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return ModuleTypeInfo(ModuleType::kDispatch, info);
}

HRESULT Pelgrath::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  const HRESULT result = GetTypeInfo(0, lcid, &info);
  if (FAILED(result)) return result;
  com_ptr<ITypeInfo> hold(info);
  return info->GetIDsOfNames(names, count, ids);
}

HRESULT Pelgrath::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* parameters,
                         VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  const HRESULT loaded = GetTypeInfo(0, lcid, &info);
  if (FAILED(loaded)) return loaded;
  com_ptr<ITypeInfo> hold(info);
  return info->Invoke(static_cast<IPelgrath*>(this), id, flags, parameters, result, exception,
                      argumentError);
}

HWND Pelgrath::HostWindow() {
  HWND site = nullptr;
  if (clientSite) {
    com_ptr<IOleWindow> siteWindow = clientSite.query<IOleWindow>(IID_IOleWindow);
    if (siteWindow && FAILED(siteWindow->GetWindow(&site))) site = nullptr;
  }
  if (site == nullptr && inPlaceSite && FAILED(inPlaceSite->GetWindow(&site))) site = nullptr;
  if (site == nullptr) site = window;
  return site != nullptr && IsWindow(site) ? GetAncestor(site, GA_ROOT) : nullptr;
}

HRESULT Pelgrath::ReceiveFile(BSTR ExtOption, BSTR* pVal) {
  return ReceiveFileEntry(ExtOption, pVal, HostWindow(), clientSite.get());
}

}  // namespace dovrel
