#pragma once
// What the whole-session tests of the control check: the stored receive
// folder (the user's and the machine's) forgotten first, so the session asks for one, and
// afterwards every file of the sample day in the receive folder, byte for byte as it must arrive
// (text files with CR LF line ends).

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace dovrel::test {

void ForgetReceiveFolder();

// The names of the sample day's files on the server.
std::set<std::string> FilesOfTheSampleDay();

::testing::AssertionResult ReceivedTheSampleDay(const std::filesystem::path& folder);

}  // namespace dovrel::test
