// Only Windows has an administrator's policy value.
#include "session/server_pins.h"

namespace dovrel {

std::string ReadPolicyServerPins() { return {}; }

}  // namespace dovrel
