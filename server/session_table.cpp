#include "server/session_table.h"

#include <algorithm>

#include <openssl/rand.h>

namespace dovrel::server {

SessionTable::SessionTable(std::size_t capacity, Clock::duration idleLimit,
                           Clock::duration unusedIdleLimit)
    : capacity_(std::max<std::size_t>(capacity, 1)),
      idleLimit_(idleLimit),
      unusedIdleLimit_(unusedIdleLimit) {}

bool SessionTable::Expired(const Entry& entry, Clock::time_point now) const {
  return now - entry.lastUse > (entry.askedForFile ? idleLimit_ : unusedIdleLimit_);
}

void SessionTable::MakeRoom(Clock::time_point now) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    it = Expired(it->second, now) ? entries_.erase(it) : std::next(it);
  }
  while (entries_.size() >= capacity_) {
    auto first = [](const auto& a, const auto& b) {
      return std::make_pair(a.second.Standing(), a.second.lastUse) <
             std::make_pair(b.second.Standing(), b.second.lastUse);
    };
    entries_.erase(std::min_element(entries_.begin(), entries_.end(), first));
  }
}

void SessionTable::Open(const std::string& skey, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (entries_.size() >= capacity_) MakeRoom(now);
  entries_[skey] = Entry{std::nullopt, now};
}

bool SessionTable::IsOpen(const std::string& skey, Clock::time_point now) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(skey);
  return it != entries_.end() && !Expired(it->second, now);
}

bool SessionTable::SetKeys(const std::string& skey, const SessionKeys& keys,
                           Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(skey);
  if (it == entries_.end()) return false;
  if (Expired(it->second, now)) {
    entries_.erase(it);
    return false;
  }
  it->second.keys = keys;
  it->second.lastUse = now;
  return true;
}

std::optional<SessionKeys> SessionTable::Keys(const std::string& skey, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(skey);
  if (it == entries_.end()) return std::nullopt;
  if (Expired(it->second, now)) {
    entries_.erase(it);
    return std::nullopt;
  }
  it->second.lastUse = now;
  if (it->second.keys) it->second.askedForFile = true;
  return it->second.keys;
}

void SessionTable::Close(const std::string& skey) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.erase(skey);
}

std::size_t SessionTable::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

std::string NewSessionName() {
  static constexpr char kHex[] = "0123456789abcdef";
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) return {};
  std::string name;
  for (unsigned char b : bytes) {
    name += kHex[b >> 4];
    name += kHex[b & 0x0F];
  }
  return name;
}

}  // namespace dovrel::server
