#pragma once
// What the file-list exchange touches of its caller (the main receive window or
// the receiver's console): the date edit box, the server file list, the busy
// popup and message boxes.

#include <string>

#include "net/wire_text.h"

namespace dovrel {

class FileListView {
 public:
  virtual ~FileListView() = default;

  // The date edit box's text as the control holds it (ANSI text).
  virtual std::string DateText() = 0;
  virtual void SetDateText(const std::string& text) = 0;
  virtual void FocusDateEdit() = 0;

  virtual void ClearServerRows() = 0;
  // Appends a row showing a file name as the server sent it (wire text).
  virtual void AddServerRow(const char* wireName) = 0;
  virtual void SetServerListStyle(unsigned long extendedStyle) = 0;

  // Texts and captions are UTF-8; flags are the kMb* values of base/message_box.h.
  virtual void StartBusyPopup(const char* text) = 0;
  virtual void StopBusyPopup() = 0;
  virtual void ShowMessage(const std::string& text, const char* caption, unsigned flags) = 0;

  // Turns the server's texts (RESULT_MSG) into UTF-8 for a message box.
  virtual const WireText& Wire() const = 0;
};

}  // namespace dovrel
