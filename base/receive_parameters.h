#pragma once
// What one receive session works with. A plain record copied by value at every
// hand-off; it holds no pointers. All texts are zero-terminated ANSI texts.

#include <cstddef>

#include "base/platform_paths.h"
#include "base/text_field.h"

namespace dovrel {

inline constexpr std::size_t kShortTextSize = 128;  // date, server address, user id

struct ReceiveParameters {
  char receiveFolder[kPathSize] = {};
  char searchDate[kShortTextSize] = {};     // normally YYYYMMDD
  char serverAddress[kShortTextSize] = {};  // dotted IPv4, never a host name
  char serverName[kShortTextSize] = {};     // as it was given: TLS sends it as SNI
  int serverPort = 0;
  char userId[kShortTextSize] = {};
};

}  // namespace dovrel
