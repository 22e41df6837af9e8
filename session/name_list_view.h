#pragma once
// A file list view that keeps the server's names instead of showing them in
// a window; the receiver's console and the browser host list through it and
// say for themselves how a busy wait and a message are shown.

#include <string>
#include <utility>
#include <vector>

#include "session/file_list_view.h"

namespace dovrel {

class NameListView : public FileListView {
 public:
  explicit NameListView(std::string date) : date_(std::move(date)) {}

  std::string DateText() override { return date_; }
  void SetDateText(const std::string& text) override { date_ = text; }
  void FocusDateEdit() override {}
  void ClearServerRows() override { names_.clear(); }
  void AddServerRow(const char* wireName) override { names_.emplace_back(wireName); }
  void SetServerListStyle(unsigned long) override {}
  const WireText& Wire() const override { return PlatformWireText(); }

  // The names listed, as the server sent them (wire text).
  const std::vector<std::string>& Names() const { return names_; }

 private:
  std::string date_;
  std::vector<std::string> names_;
};

}  // namespace dovrel
