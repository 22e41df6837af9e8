#include "ui/local_listing.h"

#include <cstdio>

#include "net/message.h"

namespace dovrel {
namespace {

constexpr std::size_t kPatternLength = sizeof kTxtPattern - 1;
// Far beyond any file time (FILETIME ends in the year 30828), small enough
// that the civil-date arithmetic below cannot overflow.
constexpr std::int64_t kMaxSeconds = 1000000000000000;

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
  std::int64_t quotient = value / divisor;
  if (value % divisor != 0 && value < 0) --quotient;
  return quotient;
}

struct CivilDate {
  std::int64_t year;
  int month;
  int day;
};

// Days since 1970-01-01 to a proleptic Gregorian date.
CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;  // shift the epoch to 0000-03-01
  const std::int64_t era = FloorDivide(days, 146097);
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;  // 0 is March
  const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

struct Listing {
  const DirectorySource& source;
  LocalListView& view;
  std::int64_t utcOffsetSeconds;
};

// Lists `directory` (a native path); `rowPrefix` is its path relative to the
// receive folder as rows show it, ending in a backslash, or empty at the top.
void ListStep(const Listing& listing, const std::string& directory, const std::string& rowPrefix) {
  listing.source.ForEachTxtEntry(directory, [&](const DirectoryEntry& entry) {
    // The enumeration already matched "*.txt"; checking again keeps the rule
    // the same wherever the platform's wildcard is looser.
    if (!MatchesTxtPattern(entry.name)) return;
    const std::size_t fullLength = directory.size() + 1 + entry.name.size();
    if (entry.isDirectory) {
      if (entry.name[0] != '.' && fullLength + 1 + kPatternLength <= kMaxPathLength) {
        ListStep(listing, directory + kPathSeparator + entry.name, rowPrefix + entry.name + '\\');
      }
      return;
    }
    if (!IsReceivedFileName(entry.name.c_str())) return;
    if (fullLength > kMaxPathLength) return;
    listing.view.AppendLocalRow(rowPrefix + entry.name,
                                FormatListingDate(entry.lastWriteUtc, listing.utcOffsetSeconds),
                                FormatListingSize(entry.size));
  });
}

}  // namespace

std::string FormatListingDate(std::int64_t utcSeconds, std::int64_t utcOffsetSeconds) {
  std::int64_t local = utcSeconds + utcOffsetSeconds;
  if (local > kMaxSeconds) local = kMaxSeconds;
  if (local < -kMaxSeconds) local = -kMaxSeconds;
  const std::int64_t days = FloorDivide(local, 86400);
  const std::int64_t secondOfDay = local - days * 86400;
  const CivilDate date = CivilFromDays(days);
  char text[64];
  std::snprintf(text, sizeof text, "%4d-%02d-%02d %02d:%02d", static_cast<int>(date.year),
                date.month, date.day, static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay % 3600 / 60));
  return text;
}

std::string FormatListingSize(std::uint64_t size) {
  return std::to_string(static_cast<unsigned long long>(size));
}

void RefreshLocalList(const ReceiveParameters& parameters, LocalListView& view,
                      const DirectorySource& source, std::int64_t utcOffsetSeconds) {
  const std::string folder = FieldText(parameters.receiveFolder);
  view.SetFolderText(folder);
  if (folder.empty() || !source.Exists(folder)) return;
  view.ClearLocalRows();
  if (folder.size() + 1 + kPatternLength <= kMaxPathLength) {
    ListStep(Listing{source, view, utcOffsetSeconds}, folder, std::string());
  }
  view.SetLocalListStyle(kLocalListStyle);
}

void RefreshLocalList(const ReceiveParameters& parameters, LocalListView& view) {
  RefreshLocalList(parameters, view, PlatformDirectorySource(), CurrentUtcOffsetSeconds());
}

}  // namespace dovrel
