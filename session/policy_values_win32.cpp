// The administrator's values that a receive obeys, read from the policy key.
#include "base/win32/policy_value_win32.h"
#include "session/server_pins.h"
#include "session/transport_security.h"

namespace dovrel {
namespace {

// A value that is there but is no readable text must not weaken anything:
// "unreadable" holds no fingerprint, so it trusts no server beyond the
// build's, and it asks for TLS.
std::string PolicyText(const char* name) {
  const PolicyValue value = ReadPolicyValue(name);
  if (value.state == PolicyValue::State::kUnreadable) return "unreadable";
  return value.text;
}

}  // namespace

std::string ReadPolicyServerPins() { return PolicyText("ServerPins"); }

std::string ReadPolicyRequireTls() { return PolicyText("RequireTls"); }

}  // namespace dovrel
