#pragma once
// The working values of one receive session and how the page's option text
// sets them: the four keys (any letter case, the last occurrence wins), then
// the defaults for what was not given.

#include <cstddef>
#include <ctime>
#include <string>

#include "base/receive_parameters.h"

namespace dovrel {

inline constexpr char kDefaultServerAddress[] = "127.0.0.1";
inline constexpr int kDefaultServerPort = 41900;
inline constexpr int kSessionOptionCount = 20;  // pairs beyond these are not read
inline constexpr std::size_t kResolutionTextSize = 256;
inline constexpr std::size_t kFailureTextSize = 1024;

struct SessionValues {
  char serverText[kShortTextSize];  // host name or dotted address, as given
  char searchDate[kShortTextSize];
  char userId[kShortTextSize];
  int serverPort;  // 0: not given
};

// The values before any option is read: the compiled-in server, the rest empty.
void InitialSessionValues(SessionValues* values);

// Applies `length` characters of ANSI option text ("&"-joined, URL-encoded
// pairs). Values longer than their buffers are cut there.
void ReadSessionOptions(const char* text, std::size_t length, SessionValues* values);

// Port 0 becomes 41900, an empty date today's date in `localNow`.
void ApplySessionDefaults(const std::tm& localNow, SessionValues* values);

// "%04d%02d%02d" of the calendar date in `localNow`.
void FormatSearchDate(const std::tm& localNow, char* out, std::size_t capacity);

// One of our own (UTF-8) texts in code page 949, the code page of the
// session's texts whatever the system's ANSI code page; unchanged when it
// cannot be converted.
std::string AnsiText(const char* utf8);

// The text (code page 949) of the box shown when the server name cannot be resolved.
void FormatConnectFailure(const char* serverText, const char* reason, char* out,
                          std::size_t capacity);

}  // namespace dovrel
