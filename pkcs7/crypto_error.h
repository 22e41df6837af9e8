#pragma once
// The Crypto error record: what failed and where, filled by the PKCS#7 helpers
// for diagnosis. Nothing shows it; every text in it stays inside its field.

#include <cstddef>

namespace dovrel {

inline constexpr std::size_t kCryptoTextSize = 1024;  // includes the terminating zero

struct CryptoErrorRecord {
  char message[kCryptoTextSize];  // the failing step's text, or the library's error entries
  char place[kCryptoTextSize];    // tag and failure-site number, one line per site
};

// "Concerning encryption": the tag of every place line the helpers write.
inline constexpr char kCryptoTag[] = "암호화관련";

// The layouts of a place line; the failure sites use these four.
enum class PlaceStyle {
  kPaddedLine,  // "%s : %4d LINE\n"
  kPadded,      // "%s : %4d\n"
  kLine,        // "%s : %d LINE\n"
  kShort,       // "%s: %d\n"
};

// Empties the record, then moves every pending library error entry of this
// thread into the message (oldest first; entries past the field are dropped,
// the queue is emptied all the same) and writes the place "%s : %4d LINE\n".
void FormatCryptoError(CryptoErrorRecord* record, const char* tag, int number);

// Appends one "%s : %4d LINE\n" line after the place text already there.
void AppendErrorPlace(CryptoErrorRecord* record, const char* tag, int number);

// A failure with a fixed message: message and place are replaced, and the
// thread's library error entries are discarded so they cannot surface in a
// later, unrelated record.
void SetCryptoFailure(CryptoErrorRecord* record, const char* message, PlaceStyle style,
                      const char* tag, int number);

// The failure of an Armour selector that is neither PEM nor DER:
// "Unsupported encoding: %d" at the given site.
void SetUnsupportedArmour(CryptoErrorRecord* record, int armour, PlaceStyle style, int number);

// Appends `text` to the zero-terminated text in field[0, capacity), cutting it
// where the field ends without splitting a UTF-8 sequence. An unterminated
// field is treated as empty. Returns false when the text had to be cut.
bool AppendBounded(char* field, std::size_t capacity, const char* text);

}  // namespace dovrel
