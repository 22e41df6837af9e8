#pragma once
// What the window tests share: parameters pointing at a reference server,
// the ANSI form of UTF-8 texts, and a fixture whose window runs on a thread of
// its own and leaves no transfer worker behind.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/receive_parameters.h"
#include "net/wire_text.h"
#include "ui/module_threads_win32.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_server.h"
#include "tests/support/window_driver_win32.h"

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

// Workers of windows ended early finish on their own; none may outlive a test.
inline bool TransfersAllEnded() {
  return WaitFor([] { return LiveModuleThreads() == 0; }, 30000);
}

class WindowTest : public ::testing::Test {
 protected:
  // The reference server in `scenario`, and the fresh receive folder.
  ::testing::AssertionResult Serve(const std::string& scenario) {
    server_ = std::make_unique<TestServer>(scenario);
    if (!server_->Ready()) return ::testing::AssertionFailure() << server_->Error();
    if (!folder_.Ok()) return ::testing::AssertionFailure() << "no temporary folder";
    return ::testing::AssertionSuccess();
  }
  void TearDown() override {
    ui_.reset();
    EXPECT_TRUE(TransfersAllEnded());
  }

  std::unique_ptr<TestServer> server_;
  TempFolder folder_;
  std::unique_ptr<UiThread> ui_;
};

}  // namespace dovrel::test
