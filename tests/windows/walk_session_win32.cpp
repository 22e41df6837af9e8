// Walks the receive session that a script opened through the control, as a
// person would, and saves a picture of each step (tools/receive-demo):
//   walk_session FOLDER PICTURES-FOLDER
// FOLDER is typed into the folder prompt; every listed file is received.
// Prints the listed files; exits 0 once the session was walked to its end.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/windows/screen_capture_win32.h"
#include "tests/windows/session_walk_win32.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: walk_session FOLDER PICTURES-FOLDER\n");
    return 2;
  }
  const std::string pictures = argv[2];
  int number = 0;
  const auto shoot = [&](const char* step, HWND window) {
    const std::string path = pictures + "\\" + std::to_string(++number) + "-" + step + ".bmp";
    if (!dovrel::test::SaveWindow(window, path))
      std::fprintf(stderr, "walk_session: no picture %s\n", path.c_str());
  };
  std::vector<std::string> listed;
  const ::testing::AssertionResult walked =
      dovrel::test::WalkReceiveSession(argv[1], &listed, shoot);
  for (const std::string& name : listed) std::printf("listed %s\n", name.c_str());
  if (!walked) {
    std::fprintf(stderr, "walk_session: %s\n", walked.message());
    return 1;
  }
  return 0;
}
