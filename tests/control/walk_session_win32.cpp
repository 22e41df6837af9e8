// Walks the receive session that a script opened through the control, as a
// person would, and saves a picture of each step (tools/receive-demo):
//   walk_session FOLDER PICTURES-FOLDER
//   walk_session --host OPTIONS FOLDER PICTURES-FOLDER
// FOLDER is typed into the folder prompt; every listed file is received.
// With --host this program is the script host as well: it creates the
// registered control and calls ReceiveFile(OPTIONS) itself, printing what it
// returned; under qemu, Wine cannot reach another 32-bit process's list view.
// Prints the listed files; exits 0 once the session was walked to its end.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "tests/support/screen_capture_win32.h"
#include "tests/support/script_call_win32.h"
#include "tests/support/session_walk_win32.h"

namespace {

// Creates the control by its ProgID and calls ReceiveFile(options) on this
// thread while `walk` runs on another; the walk's verdict.
bool HostAndWalk(const std::string& options, const std::function<bool()>& walk) {
  if (FAILED(OleInitialize(nullptr))) return false;
  bool walked = false;
  CLSID id{};
  void* raw = nullptr;
  if (CLSIDFromProgID(L"Dovrel.Pelgrath", &id) == S_OK &&
      CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &raw) == S_OK) {
    auto* control = static_cast<IDispatch*>(raw);
    auto walking = std::async(std::launch::async, walk);
    const std::wstring returned = dovrel::test::CallByName(control, L"ReceiveFile", options);
    walked = walking.get();
    std::printf("ReceiveFile returned \"%ls\"\n", returned.c_str());
    control->Release();
  } else {
    std::fprintf(stderr, "walk_session: the control Dovrel.Pelgrath cannot be created\n");
  }
  OleUninitialize();
  return walked;
}

}  // namespace

int main(int argc, char** argv) {
  const bool host = argc == 5 && std::strcmp(argv[1], "--host") == 0;
  if (argc != 3 && !host) {
    std::fprintf(stderr, "usage: walk_session [--host OPTIONS] FOLDER PICTURES-FOLDER\n");
    return 2;
  }
  const char* folder = argv[host ? 3 : 1];
  const std::string pictures = argv[host ? 4 : 2];
  int number = 0;
  const auto shoot = [&](const char* step, HWND window) {
    const std::string path = pictures + "\\" + std::to_string(++number) + "-" + step + ".bmp";
    if (!dovrel::test::SaveWindow(window, path))
      std::fprintf(stderr, "walk_session: no picture %s\n", path.c_str());
  };
  std::vector<std::string> listed;
  const auto walk = [&] {
    const ::testing::AssertionResult walked =
        dovrel::test::WalkReceiveSession(folder, &listed, shoot, host ? 600000 : 60000);
    if (!walked) {
      std::fprintf(stderr, "walk_session: %s\n", walked.message());
      if (host) dovrel::test::AbandonReceiveSession();
    }
    return static_cast<bool>(walked);
  };
  const bool walked = host ? HostAndWalk(argv[2], walk) : walk();
  for (const std::string& name : listed) std::printf("listed %s\n", name.c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  // Where 32-bit programs run through qemu, an ordinary return from main dies
  // in the runtime's teardown after a session; ExitProcess ends it cleanly.
  ExitProcess(walked ? 0 : 1);
}
