#include "control/class_factory_win32.h"

#include "control/module_state_win32.h"
#include "control/control_object_win32.h"

namespace dovrel {
namespace {

struct PelgrathFactory final : IClassFactory {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    return CreatePelgrath(outer, iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(WINBOOL lock) override {
    if (lock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return S_OK;
  }
};

}  // namespace

IClassFactory* PelgrathClassFactory() {
  static PelgrathFactory factory;
  return &factory;
}

}  // namespace dovrel
