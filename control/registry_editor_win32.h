#pragma once
// The registration script's view of the classes registry, in ANSI text: the
// machine's (HKEY_CLASSES_ROOT, written as an administrator) or the user's
// own (HKEY_CURRENT_USER\Software\Classes, which needs no elevation and
// which Windows reads before the machine's).

#include "control/registration_script.h"

namespace dovrel {

enum class RegistrationScope { kMachine, kUser };

RegistryEditor& ClassesEditor(RegistrationScope scope);

}  // namespace dovrel
