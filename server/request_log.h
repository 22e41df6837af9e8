#pragma once
// What the server was asked: one record per request, for tests and
// diagnosis. Bounded in records and in bytes, each element counted with the
// objects that hold it, not only its texts: the oldest records go first, and
// a record's texts are cut to a bound of their own.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dovrel::server {

// The log's bounds: its records' bytes together, and one record's (longer
// element texts are cut).
inline constexpr std::size_t kRequestLogBudget = 4 * 1024 * 1024;
inline constexpr std::size_t kRequestRecordLimit = 64 * 1024;
// No service takes more than four elements; a request with more than this
// is refused unlogged, so that empty elements cannot fill the memory.
inline constexpr std::size_t kRequestElementLimit = 16;

struct RequestRecord {
  std::string service;  // SERVICE_CODE, empty when the request had none
  std::vector<std::pair<std::string, std::string>> elements;  // in order, texts as sent
  bool receiptMarker = false;  // the client sent "@@@@" after the reply

  // The first element of that name; empty when there is none.
  std::string Element(std::string_view name) const;
  bool Has(std::string_view name) const;
};

// What a record and each of its elements cost beyond their texts.
inline constexpr std::size_t kRecordCost = sizeof(RequestRecord);
inline constexpr std::size_t kElementCost = sizeof(std::pair<std::string, std::string>);

using ElementView = std::pair<std::string_view, std::string_view>;

// The elements of a request document, in order: each "<NAME>text</NAME>"
// inside the root. Stops at anything else, or after `most` elements.
std::vector<ElementView> ElementViews(std::string_view document,
                                      std::size_t most = static_cast<std::size_t>(-1));
std::vector<std::pair<std::string, std::string>> ListElements(std::string_view document);

// The memory a record holds: its objects and texts together.
std::size_t RecordBytes(const RequestRecord& record);
// The record of a request document, at most `limit` bytes of it copied: the
// service first, then the elements in order, each text cut to a quarter of
// the limit, and the elements that no longer fit left out. Nothing when the
// document has more than kRequestElementLimit elements.
std::optional<RequestRecord> RecordOf(std::string_view document, std::size_t limit);

class RequestLog {
 public:
  explicit RequestLog(std::size_t capacity = 4096, std::size_t byteBudget = kRequestLogBudget,
                      std::size_t recordLimit = kRequestRecordLimit);

  // Its number; cut to the record limit and to kRequestElementLimit elements.
  std::uint64_t Add(RequestRecord record);
  void MarkReceipt(std::uint64_t number);
  std::vector<RequestRecord> Records() const;
  std::size_t Bytes() const;  // RecordBytes of every record kept
  void Clear();

 private:
  const std::size_t capacity_;
  const std::size_t byteBudget_;
  const std::size_t recordLimit_;
  mutable std::mutex mutex_;
  std::deque<RequestRecord> records_;
  std::size_t bytes_ = 0;
  std::uint64_t firstNumber_ = 0;
};

}  // namespace dovrel::server
