#pragma once
// What the tests of the registered control do with it: create it, give it a
// receive folder so that no session asks, and call ReceiveFile as a page does.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "control/com_handles_win32.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_server.h"

namespace dovrel::test {

com_ptr<IUnknown> Create(REFIID iid = IID_IUnknown);

// Stores `folder` (ANSI) as the machine's receive folder, as an administrator
// would, with no folder of the user's in its way, so no session asks.
void StoreReceiveFolder(const std::string& folder);

// A running server and a fresh folder stored as the receive folder.
::testing::AssertionResult ReadyWithStoredFolder(const TestServer& server,
                                                 const TempFolder& folder);

// The option text of a page that asks `server` for the sample day's files.
std::string SampleDayOptions(const TestServer& server);

// Calls ReceiveFile on this thread: its result text, or "<failed>".
std::wstring CallReceiveFile(IUnknown* object, const std::string& options);

}  // namespace dovrel::test
