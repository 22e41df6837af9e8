#include "ui/resource_module_win32.h"

#include <atomic>

namespace dovrel {
namespace {

std::atomic<HINSTANCE> module{nullptr};

}  // namespace

HINSTANCE ResourceModule() {
  HINSTANCE named = module.load();
  return named != nullptr ? named : GetModuleHandleW(nullptr);
}

void SetResourceModule(HINSTANCE instance) { module = instance; }

}  // namespace dovrel
