// The administrator's list of trusted servers, read from the policy key.
#include "base/win32/policy_value_win32.h"
#include "session/server_pins.h"

namespace dovrel {

std::string ReadPolicyServerPins() {
  const PolicyValue value = ReadPolicyValue("ServerPins");
  // A value that is there but is no readable list must not drop the pinning:
  // this text holds no fingerprint, so it trusts no server beyond the build's.
  if (value.state == PolicyValue::State::kUnreadable) return "unreadable";
  return value.text;
}

}  // namespace dovrel
