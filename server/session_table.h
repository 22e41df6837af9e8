#pragma once
// The server's sessions: SKEY -> the key and initial vector the client sent.
// Bounded in size and in idle time; safe to use from every connection thread.

#include <array>
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace dovrel::server {

using Clock = std::chrono::steady_clock;

inline constexpr std::size_t kSessionKeyLength = 16;
inline constexpr std::size_t kInitialVectorLength = 8;

struct SessionKeys {
  std::array<unsigned char, kSessionKeyLength> key{};
  std::array<unsigned char, kInitialVectorLength> iv{};
};

class SessionTable {
 public:
  SessionTable(std::size_t capacity, Clock::duration idleLimit);

  // Registers a new session under `skey`. When the table is full the expired
  // sessions go first, then of those without a key exchange the one unused
  // for longest: a session that has its keys is never pushed out by a new
  // one. False, with nothing registered, when every session has its keys.
  bool Open(const std::string& skey, Clock::time_point now);
  // True for a live session, keyed or not; not counted as activity.
  bool IsOpen(const std::string& skey, Clock::time_point now) const;
  // False when the session is unknown or has expired.
  bool SetKeys(const std::string& skey, const SessionKeys& keys, Clock::time_point now);
  // The keys of a live session that has had its key exchange; each use
  // counts as activity.
  std::optional<SessionKeys> Keys(const std::string& skey, Clock::time_point now);
  void Close(const std::string& skey);
  std::size_t Size() const;

 private:
  struct Entry {
    std::optional<SessionKeys> keys;
    Clock::time_point lastUse;
  };
  bool Expired(const Entry& entry, Clock::time_point now) const;
  bool MakeRoom(Clock::time_point now);

  const std::size_t capacity_;
  const Clock::duration idleLimit_;
  mutable std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

// A fresh random session name: 32 lower-case hexadecimal digits.
std::string NewSessionName();

}  // namespace dovrel::server
