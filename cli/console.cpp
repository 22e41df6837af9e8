#include "cli/console.h"

namespace dovrel::cli {

void PrintMessage(const char* text, const char* caption) {
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  std::fflush(stderr);
}

void ConsoleListView::StartBusyPopup(const char* text) {
  if (showBusy_) PrintMessage(text, "...");
}

void ConsoleListView::ShowMessage(const std::string& text, const char* caption, unsigned) {
  PrintMessage(text.c_str(), caption);
}

void ConsoleSessionHost::StartBusyPopup(const char* text) {
  if (showBusy_) PrintMessage(text, "...");
}

void ConsoleSessionHost::ShowMessage(const char* text, const char* caption, unsigned) {
  PrintMessage(text, caption);
}

void ConsoleTransferView::SetText(TransferField field, const std::string& utf8) {
  std::lock_guard<std::mutex> hold(lock_);
  if (field == TransferField::kFileName) name_ = utf8;
  if (field == TransferField::kSize) size_ = utf8;
  if (field == TransferField::kCount) {
    count_ = utf8;
    if (!terminal_ && !quiet_) std::printf("%s  %s\n", count_.c_str(), name_.c_str());
  }
  if (terminal_ && !quiet_) Draw();
}

void ConsoleTransferView::SetProgress(int position) {
  std::lock_guard<std::mutex> hold(lock_);
  position_ = position;
  if (terminal_ && !quiet_) Draw();
}

void ConsoleTransferView::Draw() {
  constexpr int kWidth = 24;
  char bar[kWidth + 1];
  int filled = position_ * kWidth / 100;
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = '\0';
  std::printf("\r\033[K[%s] %3d%%  %s  %s  %s", bar, position_, count_.c_str(), name_.c_str(),
              size_.c_str());
  std::fflush(stdout);
  drawn_ = true;
}

void ConsoleTransferView::Finish() {
  std::lock_guard<std::mutex> hold(lock_);
  if (drawn_) std::printf("\n");
  drawn_ = false;
  std::fflush(stdout);
}

}  // namespace dovrel::cli
