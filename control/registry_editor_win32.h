#pragma once
// The registration script's view of HKEY_CLASSES_ROOT, in ANSI text.

#include "control/registration_script.h"

namespace dovrel {

RegistryEditor& ClassesRootEditor();

}  // namespace dovrel
