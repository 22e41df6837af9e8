#pragma once
// The terminal side of the receiver: the views that the list query, the key
// exchange and the download worker report to, as lines or a progress bar.

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "session/download_worker.h"
#include "session/key_exchange.h"
#include "session/name_list_view.h"

namespace dovrel::cli {

// Platform parts: a terminal check, UTF-8 output, and how command-line
// names become wire text (Windows passes ANSI arguments, the wire's own).
bool IsTerminal(std::FILE* stream);
void PrepareConsole();
bool ArgumentToWire(const std::string& argument, std::string* wire);

// Every message box becomes a line on standard error: "[caption] text".
void PrintMessage(const char* text, const char* caption);

class ConsoleListView : public NameListView {
 public:
  ConsoleListView(std::string date, bool showBusy)
      : NameListView(std::move(date)), showBusy_(showBusy) {}

  void StartBusyPopup(const char* text) override;
  void StopBusyPopup() override {}
  void ShowMessage(const std::string& text, const char* caption, unsigned flags) override;

 private:
  bool showBusy_;
};

class ConsoleSessionHost : public KeyExchangeHost {
 public:
  explicit ConsoleSessionHost(bool showBusy) : showBusy_(showBusy) {}
  void StartBusyPopup(const char* text) override;
  void StopBusyPopup() override {}
  void ShowMessage(const char* text, const char* caption, unsigned flags) override;

 private:
  bool showBusy_;
};

// A redrawn bar on a terminal; otherwise one line per file.
class ConsoleTransferView : public TransferView {
 public:
  ConsoleTransferView(bool terminal, bool quiet) : terminal_(terminal), quiet_(quiet) {}
  void SetText(TransferField field, const std::string& utf8) override;
  void SetProgress(int position) override;
  void EnableCancel(bool) override {}
  // Ends the bar's line before other output follows.
  void Finish();

 private:
  void Draw();

  std::mutex lock_;
  bool terminal_;
  bool quiet_;
  bool drawn_ = false;
  int position_ = 0;
  std::string name_, count_, size_;
};

}  // namespace dovrel::cli
