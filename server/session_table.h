#pragma once
// The server's sessions: SKEY -> the key and initial vector the client sent.
// Bounded in size and in idle time; safe to use from every connection thread.
// Every call takes the time as "now", so that tests need no clock.

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

// The table's bounds. A client asks for its first file right after its key
// exchange, so a session that has asked for none is forgotten sooner.
inline constexpr std::size_t kSessionCapacity = 4096;
inline constexpr std::chrono::seconds kSessionIdleLimit{1800};
inline constexpr std::chrono::seconds kUnusedSessionIdleLimit{120};

class SessionTable {
 public:
  // `idleLimit` for a session that has asked for a file, `unusedIdleLimit`
  // for one that has not.
  SessionTable(std::size_t capacity, Clock::duration idleLimit, Clock::duration unusedIdleLimit);

  // Registers a new session under `skey`. When the table is full the expired
  // sessions go first, then the least recently used of the lowest standing:
  // without keys, then with keys but no file asked for, then the rest. A
  // flood of new sessions pushes out its own kind first and never locks the
  // table.
  void Open(const std::string& skey, Clock::time_point now);
  // True for a live session, keyed or not; not counted as activity.
  bool IsOpen(const std::string& skey, Clock::time_point now) const;
  // False when the session is unknown or has expired.
  bool SetKeys(const std::string& skey, const SessionKeys& keys, Clock::time_point now);
  // The keys of a live session that has had its key exchange; each use
  // counts as activity and as asking for a file.
  std::optional<SessionKeys> Keys(const std::string& skey, Clock::time_point now);
  void Close(const std::string& skey);
  std::size_t Size() const;

 private:
  struct Entry {
    std::optional<SessionKeys> keys;
    Clock::time_point lastUse;
    bool askedForFile = false;
    int Standing() const { return !keys ? 0 : !askedForFile ? 1 : 2; }
  };
  bool Expired(const Entry& entry, Clock::time_point now) const;
  void MakeRoom(Clock::time_point now);

  const std::size_t capacity_;
  const Clock::duration idleLimit_;
  const Clock::duration unusedIdleLimit_;
  mutable std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

// A fresh random session name: 32 lower-case hexadecimal digits.
std::string NewSessionName();

}  // namespace dovrel::server
