// The control's embedding with the framework's default behaviour: the site,
// the verbs, in-place activation in a window of its own, the extent and the
// registered status flags. The control has no user interface of its own.
#include "control/control_window_win32.h"
#include "control/control_object_win32.h"

namespace dovrel {

HRESULT Pelgrath::InPlaceActivate(LONG verb, IOleClientSite* activeSite, HWND, LPCRECT) {
  if (!inPlaceSite) {
    IOleClientSite* site = activeSite != nullptr ? activeSite : clientSite.get();
    if (site == nullptr) return E_UNEXPECTED;
    com_ptr<IOleInPlaceSite> candidate =
        QueryInterfaceOf<IOleInPlaceSite>(site, IID_IOleInPlaceSite);
    if (!candidate) return E_FAIL;
    if (candidate->CanInPlaceActivate() != S_OK) return E_FAIL;
    candidate->OnInPlaceActivate();

    HWND parent = nullptr;
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    candidate->GetWindow(&parent);
    candidate->GetWindowContext(&frame, &document, &position, &clip, &frameInfo);
    if (frame != nullptr) frame->Release();
    if (document != nullptr) document->Release();
    window = CreateControlWindow(parent, position);
    if (window == nullptr) {
      candidate->OnInPlaceDeactivate();
      return E_FAIL;
    }
    ShowWindow(window, SW_SHOWNA);
    inPlaceSite = std::move(candidate);
  }
  if (verb == OLEIVERB_UIACTIVATE && !uiActive) {
    uiActive = true;
    inPlaceSite->OnUIActivate();
  }
  return S_OK;
}

HRESULT Pelgrath::GetWindow(HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = window;
  return window != nullptr ? S_OK : E_FAIL;
}

HRESULT Pelgrath::ContextSensitiveHelp(WINBOOL) { return E_NOTIMPL; }

HRESULT Pelgrath::InPlaceDeactivate() {
  if (!inPlaceSite) return S_OK;
  UIDeactivate();
  if (window != nullptr) DestroyWindow(window);
  window = nullptr;
  com_ptr<IOleInPlaceSite> site = std::move(inPlaceSite);
  site->OnInPlaceDeactivate();
  return S_OK;
}

HRESULT Pelgrath::UIDeactivate() {
  if (!uiActive) return S_OK;
  uiActive = false;
  if (inPlaceSite) inPlaceSite->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT Pelgrath::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  if (window != nullptr) {
    MoveWindow(window, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  }
  return S_OK;
}

HRESULT Pelgrath::ReactivateAndUndo() { return E_NOTIMPL; }

HRESULT Pelgrath::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) {
  if (result == nullptr) return E_POINTER;
  *result = 0;
  return S_FALSE;  // activated with a window of its own, it takes no messages this way
}

HRESULT Pelgrath::GetDropTarget(IDropTarget** target) {
  if (target != nullptr) *target = nullptr;
  return E_NOTIMPL;
}

HRESULT Pelgrath::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT Pelgrath::OnFrameWindowActivate(WINBOOL) { return S_OK; }
HRESULT Pelgrath::OnDocWindowActivate(WINBOOL) { return S_OK; }
HRESULT Pelgrath::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) { return S_OK; }
HRESULT Pelgrath::EnableModeless(WINBOOL) { return S_OK; }

HRESULT Pelgrath::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  return E_NOTIMPL;  // no mnemonics
}
HRESULT Pelgrath::OnMnemonic(MSG*) { return E_NOTIMPL; }
HRESULT Pelgrath::OnAmbientPropertyChange(DISPID) { return S_OK; }
HRESULT Pelgrath::FreezeEvents(WINBOOL) { return S_OK; }

HRESULT Pelgrath::SetClientSite(IOleClientSite* site) {
  Hold(clientSite, site);
  return S_OK;
}

HRESULT Pelgrath::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = clientSite.get();
  if (*site != nullptr) (*site)->AddRef();
  return S_OK;
}

HRESULT Pelgrath::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT Pelgrath::Close(DWORD) {
  InPlaceDeactivate();
  if (oleAdvise) oleAdvise->SendOnClose();
  return S_OK;
}

HRESULT Pelgrath::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT Pelgrath::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT Pelgrath::InitFromData(IDataObject*, WINBOOL, DWORD) { return E_NOTIMPL; }

HRESULT Pelgrath::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT Pelgrath::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent,
                         LPCRECT position) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
      return InPlaceActivate(OLEIVERB_INPLACEACTIVATE, activeSite, parent, position);
    case OLEIVERB_UIACTIVATE:
      return InPlaceActivate(OLEIVERB_UIACTIVATE, activeSite, parent, position);
    case OLEIVERB_HIDE:
      UIDeactivate();
      if (window != nullptr) ShowWindow(window, SW_HIDE);
      return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
      return S_OK;
    default:
      return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
  }
}

HRESULT Pelgrath::EnumVerbs(IEnumOLEVERB** verbs) { return OleRegEnumVerbs(CLSID_Pelgrath, verbs); }
HRESULT Pelgrath::Update() { return S_OK; }
HRESULT Pelgrath::IsUpToDate() { return S_OK; }

HRESULT Pelgrath::GetUserClassID(CLSID* id) {
  if (id == nullptr) return E_POINTER;
  *id = CLSID_Pelgrath;
  return S_OK;
}

HRESULT Pelgrath::GetUserType(DWORD form, LPOLESTR* type) {
  return OleRegGetUserType(CLSID_Pelgrath, form, type);
}

HRESULT Pelgrath::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent = *size;
  return S_OK;
}

HRESULT Pelgrath::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent;
  return S_OK;
}

HRESULT Pelgrath::Advise(IAdviseSink* sink, DWORD* connection) {
  if (!oleAdvise) {
    IOleAdviseHolder* holder = nullptr;
    const HRESULT made = CreateOleAdviseHolder(&holder);
    if (FAILED(made)) return made;
    oleAdvise.reset(holder);
  }
  return oleAdvise->Advise(sink, connection);
}

HRESULT Pelgrath::Unadvise(DWORD connection) {
  return oleAdvise ? oleAdvise->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT Pelgrath::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises != nullptr) *advises = nullptr;
  return oleAdvise ? oleAdvise->EnumAdvise(advises) : E_FAIL;
}

// The status flags come from the registered MiscStatus keys.
HRESULT Pelgrath::GetMiscStatus(DWORD aspect, DWORD* status) {
  return OleRegGetMiscStatus(CLSID_Pelgrath, aspect, status);
}

HRESULT Pelgrath::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

}  // namespace dovrel
