#pragma once
// Hosts for the portable logic that record what the window would have shown.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "session/download_worker.h"
#include "session/key_exchange.h"

namespace dovrel::test {

struct ShownMessage {
  std::string text;
  std::string caption;
  unsigned flags = 0;
};

class RecordingSessionHost : public KeyExchangeHost {
 public:
  void StartBusyPopup(const char* text) override { events.push_back(std::string("start:") + text); }
  void StopBusyPopup() override { events.push_back("stop"); }
  void ShowMessage(const char* text, const char* caption, unsigned flags) override {
    events.push_back("message");
    messages.push_back({text, caption, flags});
  }
  std::vector<std::string> events;
  std::vector<ShownMessage> messages;
};

class RecordingTransferView : public TransferView {
 public:
  void SetText(TransferField field, const std::string& utf8) override {
    std::lock_guard<std::mutex> hold(lock);
    texts.emplace_back(field, utf8);
    if (onText) onText(field, utf8);
  }
  void SetProgress(int position) override {
    std::lock_guard<std::mutex> hold(lock);
    positions.push_back(position);
  }
  void EnableCancel(bool enabled) override {
    std::lock_guard<std::mutex> hold(lock);
    cancelStates.push_back(enabled);
  }
  std::vector<std::string> TextsOf(TransferField field) {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<std::string> out;
    for (const auto& [shown, text] : texts) {
      if (shown == field) out.push_back(text);
    }
    return out;
  }

  std::mutex lock;
  std::vector<std::pair<TransferField, std::string>> texts;
  std::vector<int> positions;
  std::vector<bool> cancelStates;
  std::function<void(TransferField, const std::string&)> onText;
};

}  // namespace dovrel::test
