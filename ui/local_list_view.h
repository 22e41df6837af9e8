#pragma once
// What the folder listing touches of the main receive window: the folder edit
// box and the local file list. Texts are in the file system's own encoding.

#include <string>

namespace dovrel {

class LocalListView {
 public:
  virtual ~LocalListView() = default;
  virtual void SetFolderText(const std::string& folder) = 0;
  virtual void ClearLocalRows() = 0;
  virtual void AppendLocalRow(const std::string& name, const std::string& date,
                              const std::string& size) = 0;
  virtual void SetLocalListStyle(unsigned long extendedStyle) = 0;
};

}  // namespace dovrel
