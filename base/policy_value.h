#pragma once
// One text value of an administrator's policy: not there, a text, or there but
// unreadable (a damaged value, whose reader must then fail closed).

#include <string>

namespace dovrel {

struct PolicyValue {
  enum class State { kAbsent, kText, kUnreadable };
  State state = State::kAbsent;
  std::string text;  // with kText
};

}  // namespace dovrel
