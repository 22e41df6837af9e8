#pragma once
// The main receive window's own commands: Receive (its checks in order, the
// transfer, the received list and the summary) and Change folder.

#include <string>

#include "base/receive_parameters.h"
#include "base/transfer_item.h"
#include "net/wire_text.h"
#include "base/ansi_text.h"
#include "session/directory.h"

namespace dovrel {

inline constexpr char kNothingToReceiveText[] = "전송 받을 파일이 없습니다";
inline constexpr char kNothingTickedText[] = "전송 받으려는 파일을 체크하십시오";
inline constexpr char kNoFolderText[] = "수신파일 저장폴더를 지정하지 않았습니다";
inline constexpr char kMissingFolderFormat[] = "수신파일저장폴더로 지정한\n%s 가 존재하지 않습니다";
inline constexpr char kNotDirectoryFormat[] =
    "수신파일저장폴더로 지정한\n%s 는 디렉토리가 아닙니다";
inline constexpr char kFolderRefusesFilesFormat[] =
    "수신파일저장폴더로 지정한\n%s 에 파일을 저장할 수 없습니다";
inline constexpr char kCaptionTransferResult[] = "전송 결과";

// What the commands touch of the window. ANSI texts are the controls' own.
class ReceiveView {
 public:
  virtual ~ReceiveView() = default;
  virtual int ServerRowCount() = 0;
  virtual bool IsServerRowTicked(int row) = 0;
  virtual std::string ServerRowName(int row) = 0;  // wire text, at most 259 bytes
  virtual std::string FolderText() = 0;            // the folder edit box, ANSI
  virtual void ShowMessage(const std::string& utf8, const char* caption, unsigned flags) = 0;
  // Runs the progress window modally; it marks each item's done flag.
  virtual void RunTransfer(TransferItem* items, int count, const ReceiveParameters& parameters) = 0;
  virtual void ClearReceivedRows() = 0;
  virtual void AddReceivedRow(const char* wireName) = 0;
  // Lists the receive folder of the parameters (which also shows it in the folder box).
  virtual void RefreshLocalList() = 0;
  // The folder selection window, started with `current`; 1 when confirmed.
  virtual int ChooseFolder(const std::string& current, std::string* chosen) = 0;
  virtual void StoreFolder(const std::string& folder) = 0;
  virtual const WireText& Wire() const = 0;
};

// "파일 수신 결과 입니다\n    총 파일수 : %3d\n    성공 : %3d\n    실패 : %3d".
std::string ReceiveSummary(int total, int received);

// What stops a receive into `folder` (none set, missing, not a directory,
// taking no new file) as the message shown (UTF-8); "" when nothing does.
// `wire` turns the folder's text into UTF-8.
std::string ReceiveFolderProblem(const std::string& folder, const DirectorySource& files,
                                 const WireText& wire);

// Receive: returns the number of files received, or -1 when a check stopped
// it (its message shown). Files whose local path would not fit 259 bytes are
// not fetched and count as failed.
int ReceiveTickedFiles(ReceiveParameters& parameters, ReceiveView& view,
                       const DirectorySource& files, LeadBytePredicate isLead);

// Change folder: true when a new folder was taken (and stored).
bool ChangeReceiveFolder(ReceiveParameters& parameters, ReceiveView& view,
                         LeadBytePredicate isLead);

}  // namespace dovrel
