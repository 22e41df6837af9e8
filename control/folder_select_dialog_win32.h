#pragma once
// The folder selection window (dialog 104): the user types a folder or picks
// one in the shell's folder browser, then confirms. Texts are ANSI. The
// folder prompt runs it for the entry and for the main window's "변경".

#include <windows.h>

#include <cstddef>

#include "base/receive_parameters.h"

namespace dovrel {

inline constexpr char kBrowsePrompt[] = "아래 리스트에서 해당하는 폴더를 선택하십시오";

class FolderSelectDialog {
 public:
  // Copies a non-empty text (cut to 259 bytes on a character boundary).
  void SetInitialFolder(const char* text);
  // 1 confirmed, 2 cancelled, -1 the window could not be created.
  int Run(HWND owner);
  void GetFolder(char* buffer, std::size_t capacity) const;

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam);
  void Browse();

  HWND window_ = nullptr;
  bool ended_ = false;  // OK or cancel has ended the window; the browser may still be open
  char folder_[kPathSize] = {};
};

// The folder prompt: the window owned by `owner` and started with
// `initialFolder`. Returns its end code (1 confirmed); only after 1 is the
// confirmed folder written into `folder`.
int PromptForFolder(HWND owner, const char* initialFolder, char* folder, std::size_t capacity);

}  // namespace dovrel
