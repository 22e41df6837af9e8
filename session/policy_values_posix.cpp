// Only Windows has an administrator's policy values.
#include "session/server_pins.h"
#include "session/transport_security.h"

namespace dovrel {

std::string ReadPolicyServerPins() { return {}; }

std::string ReadPolicyRequireTls() { return {}; }

}  // namespace dovrel
