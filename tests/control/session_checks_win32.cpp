#include "tests/control/session_checks_win32.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "base/ascii.h"
#include "base/win32/unique_handles_win32.h"
#include "tests/support/test_server.h"
#include "tests/support/line_ends.h"

namespace dovrel::test {
namespace {

std::filesystem::path SampleDay() { return std::filesystem::u8path(FixtureRoot()) / kSampleDate; }

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The server's copy as it must arrive: text files with CR LF line ends.
std::string ArrivingBytes(const std::filesystem::path& source) {
  const std::string extension = source.extension().string();
  const std::string bytes = FileBytes(source);
  if (!EqualIgnoringAsciiCase(extension, ".txt") && !EqualIgnoringAsciiCase(extension, ".rst"))
    return bytes;
  return WithCrLf(bytes);
}

}  // namespace

void ForgetReceiveFolder() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    unique_hkey key;
    if (RegOpenKeyExW(root, L"SOFTWARE\\Morvanta\\Orsenn", 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                      key.put()) == ERROR_SUCCESS) {
      RegDeleteValueW(key.get(), L"PayListPath");
    }
  }
}

std::set<std::string> FilesOfTheSampleDay() {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(SampleDay()))
    names.insert(entry.path().filename().u8string());
  return names;
}

::testing::AssertionResult ReceivedTheSampleDay(const std::filesystem::path& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(SampleDay())) {
    const std::filesystem::path received = folder / entry.path().filename();
    if (!std::filesystem::exists(received))
      return ::testing::AssertionFailure() << received.u8string() << " was not received";
    if (FileBytes(received) != ArrivingBytes(entry.path()))
      return ::testing::AssertionFailure() << received.u8string() << " differs from the server's";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace dovrel::test
