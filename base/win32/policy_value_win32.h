#pragma once
// One text value of the administrator's policy key for this product,
// HKLM\SOFTWARE\Policies\Dovrel, read in the system's own registry view (where
// policies are written; a 32-bit host reads it there too).

#include "base/policy_value.h"

namespace dovrel {

// A value that is there but is not a REG_SZ of reasonable length comes back
// kUnreadable: callers must then fail closed.
PolicyValue ReadPolicyValue(const char* name);

}  // namespace dovrel
