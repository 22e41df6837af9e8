// The control's view, persistence, data and class information with the
// framework's default behaviour: it draws nothing, has no properties to keep
// and no events to fire.
#include "control/control_object_win32.h"
#include "control/type_library_win32.h"

namespace dovrel {

HRESULT Pelgrath::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL, LPCRECTL,
                       WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  return dc != nullptr ? S_OK : E_INVALIDARG;
}

HRESULT Pelgrath::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors != nullptr) *colors = nullptr;
  return E_NOTIMPL;
}

HRESULT Pelgrath::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
HRESULT Pelgrath::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT Pelgrath::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  Hold(viewSink, sink);
  viewAspects = aspects;
  viewAdvise = flags;
  return S_OK;
}

HRESULT Pelgrath::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = viewAspects;
  if (flags != nullptr) *flags = viewAdvise;
  if (sink != nullptr) {
    *sink = viewSink.get();
    if (*sink != nullptr) (*sink)->AddRef();
  }
  return S_OK;
}

HRESULT Pelgrath::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

HRESULT Pelgrath::GetRect(DWORD, LPRECTL) { return E_NOTIMPL; }

HRESULT Pelgrath::GetViewStatus(DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = 0;  // nothing drawn: neither opaque nor a solid background
  return S_OK;
}

HRESULT Pelgrath::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG, DWORD* hit) {
  if (bounds == nullptr || hit == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  *hit = PtInRect(bounds, point) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT Pelgrath::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG, DWORD* hit) {
  if (bounds == nullptr || rect == nullptr || hit == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  RECT overlap;
  *hit = IntersectRect(&overlap, bounds, rect) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT Pelgrath::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) {
  return E_NOTIMPL;
}

HRESULT Pelgrath::GetClassID(CLSID* id) { return GetUserClassID(id); }
HRESULT Pelgrath::IsDirty() { return S_FALSE; }
HRESULT Pelgrath::Load(LPSTREAM stream) { return stream != nullptr ? S_OK : E_POINTER; }
HRESULT Pelgrath::Save(LPSTREAM stream, WINBOOL) { return stream != nullptr ? S_OK : E_POINTER; }

HRESULT Pelgrath::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

HRESULT Pelgrath::InitNew() { return S_OK; }
HRESULT Pelgrath::InitNew(IStorage* storage) { return storage != nullptr ? S_OK : E_POINTER; }
HRESULT Pelgrath::Load(IStorage* storage) { return storage != nullptr ? S_OK : E_POINTER; }
HRESULT Pelgrath::Save(IStorage* storage, WINBOOL) { return storage != nullptr ? S_OK : E_POINTER; }
HRESULT Pelgrath::SaveCompleted(IStorage*) { return S_OK; }
HRESULT Pelgrath::HandsOffStorage() { return S_OK; }

HRESULT Pelgrath::GetPages(CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  return S_OK;
}

HRESULT Pelgrath::QuickActivate(QACONTAINER* container, QACONTROL* control) {
  if (container == nullptr || control == nullptr) return E_POINTER;
  if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
    return E_INVALIDARG;
  SetClientSite(container->pClientSite);
  if (container->pAdviseSink != nullptr) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
  const ULONG size = control->cbSize;
  ZeroMemory(control, size);
  control->cbSize = size;
  GetMiscStatus(DVASPECT_CONTENT, &control->dwMiscStatus);
  return GetViewStatus(&control->dwViewStatus);
}

HRESULT Pelgrath::SetContentExtent(LPSIZEL size) { return SetExtent(DVASPECT_CONTENT, size); }
HRESULT Pelgrath::GetContentExtent(LPSIZEL size) { return GetExtent(DVASPECT_CONTENT, size); }

HRESULT Pelgrath::GetData(FORMATETC*, STGMEDIUM*) { return DV_E_FORMATETC; }
HRESULT Pelgrath::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }
HRESULT Pelgrath::QueryGetData(FORMATETC*) { return E_NOTIMPL; }
HRESULT Pelgrath::GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) { return E_NOTIMPL; }
HRESULT Pelgrath::SetData(FORMATETC*, STGMEDIUM*, WINBOOL) { return E_NOTIMPL; }

HRESULT Pelgrath::EnumFormatEtc(DWORD, IEnumFORMATETC** formats) {
  if (formats != nullptr) *formats = nullptr;
  return E_NOTIMPL;
}

HRESULT Pelgrath::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) {
  if (!dataAdvise) {
    IDataAdviseHolder* holder = nullptr;
    const HRESULT made = CreateDataAdviseHolder(&holder);
    if (FAILED(made)) return made;
    dataAdvise.reset(holder);
  }
  return dataAdvise->Advise(static_cast<IDataObject*>(this), format, flags, sink, connection);
}

HRESULT Pelgrath::DUnadvise(DWORD connection) {
  return dataAdvise ? dataAdvise->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT Pelgrath::EnumDAdvise(IEnumSTATDATA** advises) {
  if (advises != nullptr) *advises = nullptr;
  return dataAdvise ? dataAdvise->EnumAdvise(advises) : E_FAIL;
}

HRESULT Pelgrath::GetClassInfo(ITypeInfo** info) {
  return ModuleTypeInfo(ModuleType::kClass, info);
}

HRESULT Pelgrath::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  *guid = GUID_NULL;
  // No events: there is no outgoing interface to name.
  return kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID ? E_FAIL : E_INVALIDARG;
}

}  // namespace dovrel
