#pragma once
// The class object of the one creatable class. It lives as long as the
// module; only its server locks count towards keeping the module loaded.

#include <windows.h>
#include <unknwn.h>

namespace dovrel {

IClassFactory* PelgrathClassFactory();

}  // namespace dovrel
