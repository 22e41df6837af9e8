#include "server/request_log.h"

#include "net/message.h"

namespace dovrel::server {

std::string RequestRecord::Element(std::string_view name) const {
  for (const auto& element : elements) {
    if (element.first == name) return element.second;
  }
  return {};
}

bool RequestRecord::Has(std::string_view name) const {
  for (const auto& element : elements) {
    if (element.first == name) return true;
  }
  return false;
}

std::vector<std::pair<std::string, std::string>> ListElements(std::string_view document) {
  std::vector<std::pair<std::string, std::string>> elements;
  const std::string rootOpen = std::string("<") + kMessageRoot + ">";
  std::size_t position = document.find(rootOpen);
  if (position == std::string_view::npos) return elements;
  position += rootOpen.size();
  while (position < document.size() && document[position] == '<' &&
         position + 1 < document.size() && document[position + 1] != '/') {
    const std::size_t nameEnd = document.find('>', position);
    if (nameEnd == std::string_view::npos) break;
    const std::string name(document.substr(position + 1, nameEnd - position - 1));
    const std::string closing = "</" + name + ">";
    const std::size_t valueEnd = document.find(closing, nameEnd + 1);
    if (valueEnd == std::string_view::npos) break;
    elements.emplace_back(name, std::string(document.substr(nameEnd + 1, valueEnd - nameEnd - 1)));
    position = valueEnd + closing.size();
  }
  return elements;
}

std::uint64_t RequestLog::Add(RequestRecord record) {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.push_back(std::move(record));
  if (records_.size() > capacity_) {
    records_.pop_front();
    ++firstNumber_;
  }
  return firstNumber_ + records_.size() - 1;
}

void RequestLog::MarkReceipt(std::uint64_t number) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number >= firstNumber_ && number - firstNumber_ < records_.size()) {
    records_[static_cast<std::size_t>(number - firstNumber_)].receiptMarker = true;
  }
}

std::vector<RequestRecord> RequestLog::Records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {records_.begin(), records_.end()};
}

void RequestLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  firstNumber_ += records_.size();
  records_.clear();
}

}  // namespace dovrel::server
