#include "control/folder_select_dialog_win32.h"

#include <shlobj.h>

#include <cstring>
#include <string>

#include "resources/resource_ids.h"
#include "base/win32/window_helpers_win32.h"
#include "base/ansi_text.h"
#include "ui/resource_module_win32.h"

namespace dovrel {
namespace {

constexpr int kFolderDialog = IDD_FOLDER_SELECT;
constexpr int kFolderEdit = IDC_FOLDER_EDIT;
constexpr int kBrowseButton = IDC_FOLDER_BROWSE;

void CopyCut(char (&field)[kPathSize], const std::string& text) {
  SetFieldText(field, CutAnsiText(text, kPathSize - 1, IsAnsiLeadByte));
}

}  // namespace

void FolderSelectDialog::SetInitialFolder(const char* text) {
  if (text != nullptr && text[0] != '\0') CopyCut(folder_, text);
}

void FolderSelectDialog::GetFolder(char* buffer, std::size_t capacity) const {
  if (buffer == nullptr || capacity == 0) return;
  const std::string text = CutAnsiText(FieldText(folder_), capacity - 1, IsAnsiLeadByte);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

int FolderSelectDialog::Run(HWND owner) {
  const INT_PTR result = DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(kFolderDialog), owner,
                                         Procedure, reinterpret_cast<LPARAM>(this));
  return result == -1 || result == 0 ? -1 : static_cast<int>(result);
}

INT_PTR CALLBACK FolderSelectDialog::Procedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  auto* self = DialogObject<FolderSelectDialog>(window, message, lParam);
  if (self == nullptr) return FALSE;
  self->window_ = window;
  return self->Handle(message, wParam);
}

INT_PTR FolderSelectDialog::Handle(UINT message, WPARAM wParam) {
  if (message == WM_INITDIALOG) {
    CentreOnOwner(window_);
    if (folder_[0] != '\0') SetDlgItemTextA(window_, kFolderEdit, folder_);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      if (ended_) return TRUE;
      // The whole text, cut on a character boundary: never half a character.
      CopyCut(folder_, ControlTextAnsi(GetDlgItem(window_, kFolderEdit)));
      ended_ = true;
      EndDialog(window_, 1);
      return TRUE;
    case IDCANCEL:
      if (ended_) return TRUE;
      ended_ = true;
      EndDialog(window_, 2);
      return TRUE;
    case kBrowseButton:
      if (HIWORD(wParam) == BN_CLICKED && !ended_) Browse();
      return TRUE;
    default:
      return FALSE;
  }
}

void FolderSelectDialog::Browse() {
  const std::wstring prompt = Utf8ToWide(kBrowsePrompt);
  BROWSEINFOW info{};
  info.hwndOwner = nullptr;
  info.lpszTitle = prompt.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
  if (chosen == nullptr) return;
  // The browser has no owner, so the window may have been ended (OK, Esc, the
  // close box) while it was open: what the window ended with stands.
  if (!ended_) {
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(chosen, path)) path[0] = '\0';
    CopyCut(folder_, path);
    SetDlgItemTextA(window_, kFolderEdit, folder_);
  }
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
    allocator->Free(chosen);
    allocator->Release();
  }
}

int PromptForFolder(HWND owner, const char* initialFolder, char* folder, std::size_t capacity) {
  FolderSelectDialog dialog;
  dialog.SetInitialFolder(initialFolder);
  const int end = dialog.Run(owner);
  if (end == 1) dialog.GetFolder(folder, capacity);
  return end;
}

}  // namespace dovrel
