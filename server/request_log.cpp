#include "server/request_log.h"

#include <algorithm>

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

std::vector<ElementView> ElementViews(std::string_view document, std::size_t most) {
  std::vector<ElementView> elements;
  const std::string rootOpen = std::string("<") + kMessageRoot + ">";
  std::size_t position = document.find(rootOpen);
  if (position == std::string_view::npos) return elements;
  position += rootOpen.size();
  while (elements.size() < most && position < document.size() && document[position] == '<' &&
         position + 1 < document.size() && document[position + 1] != '/') {
    const std::size_t nameEnd = document.find('>', position);
    if (nameEnd == std::string_view::npos) break;
    const std::string_view name = document.substr(position + 1, nameEnd - position - 1);
    const std::string closing = "</" + std::string(name) + ">";
    const std::size_t valueEnd = document.find(closing, nameEnd + 1);
    if (valueEnd == std::string_view::npos) break;
    elements.emplace_back(name, document.substr(nameEnd + 1, valueEnd - nameEnd - 1));
    position = valueEnd + closing.size();
  }
  return elements;
}

std::vector<std::pair<std::string, std::string>> ListElements(std::string_view document) {
  std::vector<std::pair<std::string, std::string>> elements;
  for (const auto& [name, value] : ElementViews(document)) elements.emplace_back(name, value);
  return elements;
}

std::size_t RecordBytes(const RequestRecord& record) {
  std::size_t bytes = kRecordCost + record.service.size();
  for (const auto& element : record.elements)
    bytes += kElementCost + element.first.size() + element.second.size();
  return bytes;
}

namespace {

// A record of at most `limit` bytes (RecordBytes): each text copied once, as
// far as it fits, no element text longer than a quarter of the limit, so
// that one large element leaves room for the small ones after it, and at
// most kRequestElementLimit elements.
RequestRecord BoundedRecord(std::string_view service, const std::vector<ElementView>& elements,
                            bool receiptMarker, std::size_t limit) {
  std::size_t room = limit > kRecordCost ? limit - kRecordCost : 0;
  auto take = [&room](std::string_view text, std::size_t most) {
    text = text.substr(0, std::min(room, most));
    room -= text.size();
    return std::string(text);
  };
  const std::size_t valueLimit = limit / 4;
  RequestRecord record;
  record.service = take(service, valueLimit);
  for (const auto& [name, value] : elements) {
    if (record.elements.size() == kRequestElementLimit || kElementCost + name.size() > room) break;
    room -= kElementCost;
    std::string kept = take(name, room);
    record.elements.emplace_back(std::move(kept), take(value, valueLimit));
  }
  record.receiptMarker = receiptMarker;
  return record;
}

}  // namespace

std::optional<RequestRecord> RecordOf(std::string_view document, std::size_t limit) {
  const std::vector<ElementView> elements = ElementViews(document, kRequestElementLimit + 1);
  if (elements.size() > kRequestElementLimit) return std::nullopt;
  const std::string_view service =
      FindElementText(document, "SERVICE_CODE").value_or(std::string_view());
  return BoundedRecord(service, elements, false, limit);
}

RequestLog::RequestLog(std::size_t capacity, std::size_t byteBudget, std::size_t recordLimit)
    : capacity_(capacity),
      byteBudget_(byteBudget),
      recordLimit_(std::min(recordLimit, byteBudget)) {}

std::uint64_t RequestLog::Add(RequestRecord record) {
  if (RecordBytes(record) > recordLimit_ || record.elements.size() > kRequestElementLimit) {
    const std::vector<ElementView> views(record.elements.begin(), record.elements.end());
    record = BoundedRecord(record.service, views, record.receiptMarker, recordLimit_);
  }
  const std::size_t bytes = RecordBytes(record);
  std::lock_guard<std::mutex> lock(mutex_);
  records_.push_back(std::move(record));
  bytes_ += bytes;
  // The new record alone always fits: it is cut to at most the budget.
  while (records_.size() > 1 && (records_.size() > capacity_ || bytes_ > byteBudget_)) {
    bytes_ -= RecordBytes(records_.front());
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

std::size_t RequestLog::Bytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

void RequestLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  firstNumber_ += records_.size();
  records_.clear();
  bytes_ = 0;
}

}  // namespace dovrel::server
