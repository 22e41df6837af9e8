#pragma once
// Walks a whole receive session that the control opened with no stored
// folder, in another thread or process: the folder prompt (its edit box
// empty) gets `folder` and OK; the main window lists the server's files, all
// are ticked and received; the summary is dismissed and the window closed.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace dovrel::test {

// Called with each step's name and window once it shows what the step did,
// for a caller that keeps pictures of them.
using SessionStep = std::function<void(const char* step, HWND window)>;

// `listed` receives the names the main window listed.
::testing::AssertionResult WalkReceiveSession(const std::string& folder,
                                              std::vector<std::string>* listed,
                                              const SessionStep& onStep = {}, int waitMs = 60000);

// Ends what is left of a session that could not be walked to its end, so that
// the call that opened it returns and the test fails instead of hanging: its
// message boxes dismissed, the folder prompt cancelled, the main window closed.
void AbandonReceiveSession(int waitMs = 30000);

}  // namespace dovrel::test
