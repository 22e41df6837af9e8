#include "control/session_values.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/ansi_text.h"
#include "base/ascii.h"
#include "net/codecs.h"
#include "net/message.h"
#include "net/wire_text.h"

namespace dovrel {
namespace {

bool KeyIs(const char* key, const char* name) {
  for (; *key != '\0' && *name != '\0'; ++key, ++name) {
    if (UpperAsciiCase(*key) != *name) return false;
  }
  return *key == *name;
}

// The leading integer of `text`, held within int whatever width the reader returns.
int ReadPort(const char* text) {
  const long long value = ParseLeadingInteger(text);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

std::string AnsiText(const char* utf8) {
  std::string ansi;
  if (!Cp949WireText().FromUtf8(utf8, &ansi)) ansi = utf8;
  return ansi;
}

void InitialSessionValues(SessionValues* values) {
  std::memset(values, 0, sizeof *values);
  CopyAnsiText(values->serverText, sizeof values->serverText, kDefaultServerAddress);
}

void ReadSessionOptions(const char* text, std::size_t length, SessionValues* values) {
  if (text == nullptr || length == 0) return;
  // 43 KB of table: on the heap, since nested sessions stack up on one thread.
  auto entries = std::make_unique<OptionEntry[]>(kSessionOptionCount);
  const int count = ParseOptionList(text, length, entries.get(), kSessionOptionCount);
  for (int i = 0; i < count; ++i) {
    const OptionEntry& entry = entries[i];
    if (KeyIs(entry.key, "DATE")) {
      CopyAnsiText(values->searchDate, sizeof values->searchDate, entry.value);
    } else if (KeyIs(entry.key, "CONNECTIP")) {
      CopyAnsiText(values->serverText, sizeof values->serverText, entry.value);
    } else if (KeyIs(entry.key, "CONNECTPORT")) {
      values->serverPort = ReadPort(entry.value);
    } else if (KeyIs(entry.key, "USERID")) {
      CopyAnsiText(values->userId, sizeof values->userId, entry.value);
    }
  }
  ClearOptionList(entries.get(), kSessionOptionCount);
}

void ApplySessionDefaults(const std::tm& localNow, SessionValues* values) {
  if (values->serverPort == 0) values->serverPort = kDefaultServerPort;
  if (values->searchDate[0] == '\0') {
    FormatSearchDate(localNow, values->searchDate, sizeof values->searchDate);
  }
}

void FormatSearchDate(const std::tm& localNow, char* out, std::size_t capacity) {
  std::snprintf(out, capacity, "%04d%02d%02d", localNow.tm_year + 1900, localNow.tm_mon + 1,
                localNow.tm_mday);
}

void FormatConnectFailure(const char* serverText, const char* reason, char* out,
                          std::size_t capacity) {
  const std::string phrase = AnsiText(" 접속에 실패하였습니다");
  std::snprintf(out, capacity, "%s%s\n(%s)", serverText, phrase.c_str(), reason);
}

}  // namespace dovrel
