#include "pkcs7/crypto_error.h"

#include <openssl/err.h>

#include <cstdio>
#include <cstring>

namespace dovrel {
namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Removes a multi-byte sequence that a cut at `length` left incomplete.
std::size_t TrimPartialSequence(const char* text, std::size_t length) {
  std::size_t start = length;
  while (start > 0 && IsContinuationByte(text[start - 1])) --start;
  if (start == 0) return length;
  unsigned char lead = static_cast<unsigned char>(text[start - 1]);
  std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  std::size_t have = length - (start - 1);
  return have < need ? start - 1 : length;
}

void FormatPlace(char* line, std::size_t size, PlaceStyle style, const char* tag, int number) {
  switch (style) {
    case PlaceStyle::kPaddedLine:
      std::snprintf(line, size, "%s : %4d LINE\n", tag, number);
      break;
    case PlaceStyle::kPadded:
      std::snprintf(line, size, "%s : %4d\n", tag, number);
      break;
    case PlaceStyle::kLine:
      std::snprintf(line, size, "%s : %d LINE\n", tag, number);
      break;
    case PlaceStyle::kShort:
      std::snprintf(line, size, "%s: %d\n", tag, number);
      break;
  }
}

void AppendPlace(CryptoErrorRecord* record, PlaceStyle style, const char* tag, int number) {
  char line[kCryptoTextSize];
  FormatPlace(line, sizeof line, style, tag != nullptr ? tag : "", number);
  AppendBounded(record->place, sizeof record->place, line);
}

}  // namespace

bool AppendBounded(char* field, std::size_t capacity, const char* text) {
  if (text == nullptr) return true;
  if (field == nullptr || capacity == 0) return text[0] == '\0';
  const void* zero = std::memchr(field, '\0', capacity);
  std::size_t used =
      zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : 0;
  std::size_t room = capacity - 1 - used;
  std::size_t length = std::strlen(text);
  bool whole = length <= room;
  std::size_t count = whole ? length : TrimPartialSequence(text, room);
  std::memcpy(field + used, text, count);
  field[used + count] = '\0';
  return whole;
}

void FormatCryptoError(CryptoErrorRecord* record, const char* tag, int number) {
  // OpenSSL 3 loads its error texts by itself, so no one-time load is needed.
  if (record == nullptr) {
    ERR_clear_error();
    return;
  }
  record->message[0] = '\0';
  record->place[0] = '\0';
  bool room = true;
  const char* file = nullptr;
  const char* data = nullptr;
  int line = 0;
  int flags = 0;
  while (unsigned long code = ERR_get_error_all(&file, &line, nullptr, &data, &flags)) {
    if (!room) continue;  // keep draining: the queue must end empty
    char reason[256];
    ERR_error_string_n(code, reason, sizeof reason);
    char entry[kCryptoTextSize];
    std::snprintf(entry, sizeof entry, "%s (%s: %d)", reason, file != nullptr ? file : "", line);
    room = AppendBounded(record->message, sizeof record->message, entry);
    if (!room) continue;
    bool hasText = (flags & ERR_TXT_STRING) != 0 && data != nullptr && data[0] != '\0';
    if (hasText) {
      std::snprintf(entry, sizeof entry, ": %s\n", data);
    } else {
      std::snprintf(entry, sizeof entry, "\n");
    }
    room = AppendBounded(record->message, sizeof record->message, entry);
  }
  AppendPlace(record, PlaceStyle::kPaddedLine, tag, number);
}

void AppendErrorPlace(CryptoErrorRecord* record, const char* tag, int number) {
  if (record == nullptr) return;
  AppendPlace(record, PlaceStyle::kPaddedLine, tag, number);
}

void SetCryptoFailure(CryptoErrorRecord* record, const char* message, PlaceStyle style,
                      const char* tag, int number) {
  ERR_clear_error();
  if (record == nullptr) return;
  record->message[0] = '\0';
  record->place[0] = '\0';
  AppendBounded(record->message, sizeof record->message, message);
  AppendPlace(record, style, tag, number);
}

void SetUnsupportedArmour(CryptoErrorRecord* record, int armour, PlaceStyle style, int number) {
  char message[64];
  std::snprintf(message, sizeof message, "Unsupported encoding: %d", armour);
  SetCryptoFailure(record, message, style, kCryptoTag, number);
}

}  // namespace dovrel
