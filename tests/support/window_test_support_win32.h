#pragma once
// What the window tests share: parameters pointing at a reference server and
// the ANSI form of UTF-8 texts.

#include <string>

#include "base/receive_parameters.h"
#include "net/wire_text.h"
#include "tests/support/test_server.h"

namespace dovrel::test {

inline ReceiveParameters ParametersFor(const TestServer& server, const std::string& folderAnsi,
                                       const std::string& date) {
  ReceiveParameters parameters;
  SetFieldText(parameters.receiveFolder, folderAnsi);
  SetFieldText(parameters.searchDate, date);
  SetFieldText(parameters.serverAddress, "127.0.0.1");
  parameters.serverPort = server.Port();
  SetFieldText(parameters.userId, "tester");
  return parameters;
}

inline std::string Ansi(const std::string& utf8) {
  std::string out;
  PlatformWireText().FromUtf8(utf8, &out);
  return out;
}

}  // namespace dovrel::test
