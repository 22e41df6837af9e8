#include "server/faults.h"

#include <algorithm>

#include "base/ascii.h"
#include "net/codecs.h"

namespace dovrel::server {
namespace {

constexpr std::string_view kServices[] = {"INIT", "KEYEXCHG", "GETLIST", "GET", "TERMINATE"};

bool ParseCount(std::string_view text, std::int64_t maximum, std::int64_t* value) {
  if (text.empty() || text.size() > 12) return false;
  std::int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n > maximum) return false;
  *value = n;
  return true;
}

// "ELEMENT:TEXT" split at its first colon; false without the colon or a name.
bool SplitElementAndText(std::string_view argument, std::string* element, std::string* text) {
  const std::size_t colon = argument.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  *element = UpperAsciiText(argument.substr(0, colon));
  *text = std::string(argument.substr(colon + 1));
  return true;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
        HexDigitValue(text[i + 2]) >= 0) {
      out.push_back(
          static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// How each kind reads its argument (`given`: there was a colon after the kind)
// into the fault; false when the argument is malformed or missing.
using ArgumentReader = bool (*)(std::string_view argument, bool given, Fault* fault);

bool ElementName(std::string_view argument, bool, Fault* fault) {
  fault->element = UpperAsciiText(argument);
  return !fault->element.empty();
}

bool AnyText(std::string_view argument, bool given, Fault* fault) {
  fault->code = std::string(argument);
  return given;
}

bool NoArgument(std::string_view, bool given, Fault*) { return !given; }

template <std::int64_t Maximum>
bool Count(std::string_view argument, bool, Fault* fault) {
  return ParseCount(argument, Maximum, &fault->amount);
}

template <std::int64_t Maximum>
bool OptionalCount(std::string_view argument, bool given, Fault* fault) {
  return !given || ParseCount(argument, Maximum, &fault->amount);
}

bool ElementAndText(std::string_view argument, bool, Fault* fault) {
  if (!SplitElementAndText(argument, &fault->element, &fault->code)) return false;
  fault->code = PercentDecoded(fault->code);
  return true;
}

bool ElementAndLength(std::string_view argument, bool, Fault* fault) {
  std::string count;
  return SplitElementAndText(argument, &fault->element, &count) &&
         ParseCount(count, kMaximumLongElement, &fault->amount);
}

// SHAPE[:ARG], GET only.
bool ShapeAndArgument(std::string_view argument, bool, Fault* fault) {
  const std::size_t colon = argument.find(':');
  fault->element = std::string(argument.substr(0, colon));
  fault->code =
      colon == std::string_view::npos ? std::string() : PercentDecoded(argument.substr(colon + 1));
  return !fault->element.empty() && fault->service == "GET";
}

struct KindRule {
  std::string_view name;
  FaultKind kind;
  ArgumentReader read;
};
constexpr KindRule kKinds[] = {
    {"omit", FaultKind::kOmit, ElementName},
    {"empty", FaultKind::kEmpty, ElementName},
    {"code", FaultKind::kCode, AnyText},
    {"delay", FaultKind::kDelay, Count<kMaximumDelayMs>},
    {"withhold", FaultKind::kWithhold, NoArgument},
    {"truncate", FaultKind::kTruncate, OptionalCount<INT32_MAX>},
    {"overannounce", FaultKind::kOverannounce, OptionalCount<INT32_MAX>},
    {"refuse", FaultKind::kRefuse, NoArgument},
    {"announce", FaultKind::kAnnounce, Count<UINT32_MAX>},
    {"stall", FaultKind::kStall, OptionalCount<INT32_MAX>},
    {"trickle", FaultKind::kTrickle, OptionalCount<1000>},
    {"double", FaultKind::kDouble, ElementAndText},
    {"unterminate", FaultKind::kUnterminate, ElementName},
    {"value", FaultKind::kValue, ElementAndText},
    {"long", FaultKind::kLong, ElementAndLength},
    {"encdata", FaultKind::kEncData, ShapeAndArgument},
    {"zero", FaultKind::kZero, ElementName},
};

void InsertAfter(Reply* reply, const std::string& name, std::string text) {
  auto& elements = reply->elements;
  auto at = std::find_if(elements.begin(), elements.end(),
                         [&](const ReplyElement& e) { return e.name == name; });
  ReplyElement copy{name, std::move(text), nullptr};
  elements.insert(at == elements.end() ? at : at + 1, std::move(copy));
}

void SetText(Reply* reply, const std::string& name, std::string text) {
  if (ReplyElement* element = reply->Find(name)) {
    element->value = std::move(text);
    element->body.reset();
  } else {
    reply->Add(name, std::move(text));
  }
}

}  // namespace

bool IsKnownService(std::string_view service) {
  return std::find(std::begin(kServices), std::end(kServices), service) != std::end(kServices);
}

std::optional<Fault> ParseFault(std::string_view text, std::string* error) {
  const std::size_t first = text.find(':');
  if (first == std::string_view::npos) {
    *error = "a fault is SERVICE:KIND[:ARG]: " + std::string(text);
    return std::nullopt;
  }
  Fault fault;
  std::string_view serviceText = text.substr(0, first);
  if (const std::size_t equals = serviceText.find('='); equals != std::string_view::npos) {
    fault.fileName = std::string(serviceText.substr(equals + 1));
    serviceText = serviceText.substr(0, equals);
  }
  fault.service = UpperAsciiText(serviceText);
  if (!fault.fileName.empty() && fault.service != "GET") {
    *error = "only a GET fault names a file: " + std::string(text);
    return std::nullopt;
  }
  if (!IsKnownService(fault.service)) {
    *error = "unknown service in fault: " + std::string(text);
    return std::nullopt;
  }
  std::string_view rest = text.substr(first + 1);
  const std::size_t second = rest.find(':');
  const std::string_view kindName = rest.substr(0, second);
  const bool hasArgument = second != std::string_view::npos;
  const std::string_view argument = hasArgument ? rest.substr(second + 1) : std::string_view();

  const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                 [&](const KindRule& k) { return k.name == kindName; });
  if (kind == std::end(kKinds)) {
    *error = "unknown fault kind in: " + std::string(text);
    return std::nullopt;
  }
  fault.kind = kind->kind;
  if (!kind->read(argument, hasArgument, &fault)) {
    *error = "bad or missing argument in fault: " + std::string(text);
    return std::nullopt;
  }
  return fault;
}

std::vector<Fault> FaultsFor(const std::vector<Fault>& faults, std::string_view service,
                             std::string_view fileName) {
  std::vector<Fault> selected;
  for (const Fault& fault : faults) {
    if (fault.service == service && (fault.fileName.empty() || fault.fileName == fileName)) {
      selected.push_back(fault);
    }
  }
  return selected;
}

DeliveryFaults DeliveryOf(const std::vector<Fault>& serviceFaults) {
  DeliveryFaults delivery;
  for (const Fault& fault : serviceFaults) {
    switch (fault.kind) {
      case FaultKind::kRefuse:
        delivery.refuse = true;
        break;
      case FaultKind::kWithhold:
        delivery.withhold = true;
        break;
      case FaultKind::kDelay:
        delivery.delayMs = fault.amount;
        break;
      case FaultKind::kTruncate:
        delivery.truncateAt = fault.amount;
        break;
      case FaultKind::kOverannounce:
        delivery.overannounce = fault.amount < 0 ? kDefaultOverannounce : fault.amount;
        break;
      case FaultKind::kAnnounce:
        delivery.announce = static_cast<std::uint32_t>(fault.amount);
        break;
      case FaultKind::kStall:
        delivery.stallAfter = fault.amount < 0 ? 0 : fault.amount;
        break;
      case FaultKind::kTrickle:
        delivery.trickleMs = fault.amount < 0 ? 1 : fault.amount;
        break;
      default:
        break;
    }
  }
  return delivery;
}

void ApplyElementFaults(const std::vector<Fault>& serviceFaults, Reply* reply) {
  for (const Fault& fault : serviceFaults) {
    if (fault.kind == FaultKind::kOmit) {
      auto& elements = reply->elements;
      elements.erase(std::remove_if(elements.begin(), elements.end(),
                                    [&](const ReplyElement& e) { return e.name == fault.element; }),
                     elements.end());
    } else if (fault.kind == FaultKind::kEmpty) {
      if (ReplyElement* element = reply->Find(fault.element)) {
        element->value.clear();
        element->body.reset();
      }
    } else if (fault.kind == FaultKind::kCode) {
      if (ReplyElement* element = reply->Find("RESULT_CODE")) element->value = fault.code;
    } else if (fault.kind == FaultKind::kDouble) {
      InsertAfter(reply, fault.element, fault.code);
    } else if (fault.kind == FaultKind::kUnterminate) {
      if (ReplyElement* element = reply->Find(fault.element)) element->unterminated = true;
    } else if (fault.kind == FaultKind::kZero) {
      if (ReplyElement* element = reply->Find(fault.element)) element->zeroBefore = true;
    } else if (fault.kind == FaultKind::kValue) {
      SetText(reply, fault.element, fault.code);
    } else if (fault.kind == FaultKind::kLong) {
      SetText(reply, fault.element, std::string(static_cast<std::size_t>(fault.amount), 'A'));
    }
  }
}

const Fault* EncDataFault(const std::vector<Fault>& serviceFaults) {
  for (const Fault& fault : serviceFaults) {
    if (fault.kind == FaultKind::kEncData) return &fault;
  }
  return nullptr;
}

}  // namespace dovrel::server
