#include "ui/receive_actions.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/message_box.h"
#include "session/file_names.h"
#include "ui/local_listing.h"

namespace dovrel {
namespace {

std::string Format(const char* format, const std::string& folderUtf8) {
  std::string text(format);
  const std::size_t at = text.find("%s");
  return text.replace(at, 2, folderUtf8);
}

}  // namespace

std::string ReceiveSummary(int total, int received) {
  char text[256];
  std::snprintf(text, sizeof text,
                "파일 수신 결과 입니다\n    총 파일수 : %3d\n    성공 : %3d\n    실패 : %3d", total,
                received, total - received);
  return text;
}

std::string ReceiveFolderProblem(const std::string& folder, const DirectorySource& files,
                                 const WireText& wire) {
  if (folder.empty()) return kNoFolderText;
  if (!files.Exists(folder)) return Format(kMissingFolderFormat, WireToUtf8(wire, folder));
  if (!files.IsDirectory(folder)) return Format(kNotDirectoryFormat, WireToUtf8(wire, folder));
  // Said once here rather than by every file of the transfer failing.
  if (!files.AcceptsNewFiles(folder))
    return Format(kFolderRefusesFilesFormat, WireToUtf8(wire, folder));
  return {};
}

int ReceiveTickedFiles(ReceiveParameters& parameters, ReceiveView& view,
                       const DirectorySource& files, LeadBytePredicate isLead) {
  const int rows = view.ServerRowCount();
  if (rows <= 0) {
    view.ShowMessage(kNothingToReceiveText, kCaptionNotice, kMbAlert);
    return -1;
  }
  std::vector<int> ticked;
  for (int row = 0; row < rows; ++row) {
    if (view.IsServerRowTicked(row)) ticked.push_back(row);
  }
  if (ticked.empty()) {
    view.ShowMessage(kNothingTickedText, kCaptionNotice, kMbAlert);
    return -1;
  }

  const std::string folder = CutAnsiText(view.FolderText(), kMaxPathLength, isLead);
  SetFieldText(parameters.receiveFolder, folder);
  if (const std::string problem = ReceiveFolderProblem(folder, files, view.Wire());
      !problem.empty()) {
    view.ShowMessage(problem, kCaptionNotice, kMbOk);
    return -1;
  }

  // One item per ticked row; those whose path fits go to the transfer.
  std::vector<TransferItem> items(ticked.size());
  std::vector<TransferItem> fetched;
  std::vector<std::size_t> fetchedIndex;
  for (std::size_t i = 0; i < ticked.size(); ++i) {
    const std::string name = CutAnsiText(view.ServerRowName(ticked[i]), kMaxPathLength, isLead);
    const std::string path = JoinLocalPath(folder, name);
    SetFieldText(items[i].fileName, name);
    if (path.size() > kMaxPathLength) continue;
    SetFieldText(items[i].localPath, path);
    fetched.push_back(items[i]);
    fetchedIndex.push_back(i);
  }
  view.RunTransfer(fetched.data(), static_cast<int>(fetched.size()), parameters);
  for (std::size_t k = 0; k < fetched.size(); ++k) items[fetchedIndex[k]].done = fetched[k].done;

  view.ClearReceivedRows();
  int received = 0;
  for (const TransferItem& item : items) {
    if (item.done != 1) continue;
    view.AddReceivedRow(item.fileName);
    ++received;
  }
  const int total = static_cast<int>(items.size());
  view.ShowMessage(ReceiveSummary(total, received), kCaptionTransferResult, kMbAlert);
  if (received > 0) view.RefreshLocalList();
  return received;
}

bool ChangeReceiveFolder(ReceiveParameters& parameters, ReceiveView& view,
                         LeadBytePredicate isLead) {
  const std::string current = FieldText(parameters.receiveFolder);
  std::string chosen;
  if (view.ChooseFolder(current, &chosen) != 1) return false;
  chosen = CutAnsiText(chosen, kMaxPathLength, isLead);
  if (chosen.empty() || EqualIgnoringCase(chosen, current, isLead)) return false;
  view.StoreFolder(chosen);
  SetFieldText(parameters.receiveFolder, chosen);
  view.RefreshLocalList();
  return true;
}

}  // namespace dovrel
