#include "ui/local_listing.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "session/directory.h"

namespace dovrel {
namespace {

struct Row {
  std::string name;
  std::string date;
  std::string size;
  bool operator==(const Row& other) const {
    return name == other.name && date == other.date && size == other.size;
  }
};

class RecordingView : public LocalListView {
 public:
  void SetFolderText(const std::string& folder) override { folderText = folder; }
  void ClearLocalRows() override {
    rows.clear();
    ++clears;
  }
  void AppendLocalRow(const std::string& name, const std::string& date,
                      const std::string& size) override {
    rows.push_back({name, date, size});
  }
  void SetLocalListStyle(unsigned long style) override { styles.push_back(style); }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Row& row : rows) names.push_back(row.name);
    return names;
  }

  std::string folderText = "untouched";
  std::vector<Row> rows;
  int clears = 0;
  std::vector<unsigned long> styles;
};

ReceiveParameters WithFolder(const std::string& folder) {
  ReceiveParameters parameters;
  SetFieldText(parameters.receiveFolder, folder);
  return parameters;
}

// ---- pure helpers ----------------------------------------------------------

TEST(MatchesTxtPatternTest, EndsInTxtWithAnyLetterCase) {
  const std::pair<const char*, bool> cases[] = {
      {"107A.txt", true}, {"107b.TXT", true},   {"x.TxT", true},
      {".txt", true},     {"107c.dat", false},  {"107d.txt.bak", false},
      {"txt", false},     {"107e.txta", false}, {"107ftxt", false},
      {"", false},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(MatchesTxtPattern(name), expected) << name;
}

TEST(FormatListingDateTest, ShowsLocalMinutesWithoutSeconds) {
  struct Case {
    std::int64_t utc;
    std::int64_t offset;
    const char* expected;
  };
  constexpr std::int64_t k20210302_090559 = 1614675959;  // Tue 2 Mar 2021 09:05:59 UTC
  const Case cases[] = {
      {0, 0, "1970-01-01 00:00"},
      {k20210302_090559, 0, "2021-03-02 09:05"},
      {k20210302_090559, 9 * 3600, "2021-03-02 18:05"},
      {k20210302_090559, 15 * 3600, "2021-03-03 00:05"},
      {k20210302_090559, -10 * 3600, "2021-03-01 23:05"},
      {k20210302_090559, 5 * 3600 + 1800, "2021-03-02 14:35"},
      {-1, 0, "1969-12-31 23:59"},
      {951868799, 0, "2000-02-29 23:59"},  // leap day of a century divisible by 400
      {951868800, 0, "2000-03-01 00:00"},
      {4107542399, 0, "2100-02-28 23:59"},  // 2100 has no leap day
      {4107542400, 0, "2100-03-01 00:00"},
      {-11644473600, 0, "1601-01-01 00:00"},  // the earliest Windows file time
      {-62135596800, 0, "   1-01-01 00:00"},  // "%4d" pads with blanks
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatListingDate(c.utc, c.offset), c.expected) << c.utc << " " << c.offset;
  }
}

TEST(FormatListingSizeTest, DecimalWithoutSeparators) {
  EXPECT_EQ(FormatListingSize(0), "0");
  EXPECT_EQ(FormatListingSize(512), "512");
  EXPECT_EQ(FormatListingSize(1234567), "1234567");
  EXPECT_EQ(FormatListingSize(4294967297ull), "4294967297");
  EXPECT_EQ(FormatListingSize(18446744073709551615ull), "18446744073709551615");
}

// ---- listing rules on a scripted directory tree ----------------------------

// A tree given as directory path -> entries, in the order "the file system"
// returns them. Like the platform, it only yields "*.txt" names unless told
// to be loose.
class ScriptedSource : public DirectorySource {
 public:
  bool Exists(const std::string& path) const override {
    return tree.count(path) > 0 || files.count(path) > 0;
  }
  bool IsDirectory(const std::string& path) const override { return tree.count(path) > 0; }
  bool AcceptsNewFiles(const std::string&) const override { return true; }
  void ForEachTxtEntry(const std::string& directory,
                       const std::function<void(const DirectoryEntry&)>& visit) const override {
    listed.push_back(directory);
    auto found = tree.find(directory);
    if (found == tree.end()) return;
    for (const DirectoryEntry& entry : found->second) {
      if (loose || MatchesTxtPattern(entry.name)) visit(entry);
    }
  }

  void AddFile(const std::string& directory, const std::string& name, std::uint64_t size = 1) {
    tree[directory].push_back({name, false, size, 0});
  }
  std::string AddDirectory(const std::string& directory, const std::string& name) {
    tree[directory].push_back({name, true, 0, 0});
    std::string path = directory + kPathSeparator + name;
    tree[path];
    return path;
  }

  std::map<std::string, std::vector<DirectoryEntry>> tree;
  std::map<std::string, bool> files;
  bool loose = false;
  mutable std::vector<std::string> listed;
};

TEST(RefreshLocalListTest, DescendsDepthFirstInEnumerationOrder) {
  ScriptedSource source;
  const std::string root = "R";
  source.tree[root];
  source.AddFile(root, "107z.txt");
  const std::string sub = source.AddDirectory(root, "sub.txt");
  source.AddFile(sub, "107b.txt");
  const std::string deeper = source.AddDirectory(sub, "deeper.TXT");
  source.AddFile(deeper, "107c.txt");
  source.AddFile(sub, "107d.txt");
  source.AddFile(root, "107a.txt");

  RecordingView view;
  RefreshLocalList(WithFolder(root), view, source, 0);

  EXPECT_EQ(view.folderText, root);
  EXPECT_EQ(view.clears, 1);
  EXPECT_EQ(view.Names(), (std::vector<std::string>{"107z.txt", "sub.txt\\107b.txt",
                                                    "sub.txt\\deeper.TXT\\107c.txt",
                                                    "sub.txt\\107d.txt", "107a.txt"}));
  EXPECT_EQ(source.listed, (std::vector<std::string>{root, sub, deeper}));
  ASSERT_FALSE(view.styles.empty());
  EXPECT_EQ(view.styles.back(), kLocalListStyle);
}

TEST(RefreshLocalListTest, SkipsHiddenFoldersFolderRowsAndLooseMatches) {
  ScriptedSource source;
  source.loose = true;  // the platform's wildcard may also yield names such as 107e.txta
  const std::string root = "R";
  source.tree[root];
  const std::string hidden = source.AddDirectory(root, ".107h.txt");
  source.AddFile(hidden, "107i.txt");
  const std::string named = source.AddDirectory(root, "107y.txt");
  source.AddFile(named, "107j.txt");
  source.AddFile(root, "107e.txta");
  source.AddFile(root, "107f.dat");
  source.AddFile(root, "x107.txt");
  const std::string other = source.AddDirectory(root, "old");
  source.AddFile(other, "107k.txt");

  RecordingView view;
  RefreshLocalList(WithFolder(root), view, source, 0);

  EXPECT_EQ(view.Names(), std::vector<std::string>{"107y.txt\\107j.txt"});
  EXPECT_EQ(source.listed, (std::vector<std::string>{root, named}));
}

TEST(RefreshLocalListTest, LeavesOutPathsLongerThan259Characters) {
  ScriptedSource source;
  const std::string root(240, 'r');
  source.tree[root];
  // root + separator + name: 241 + 18 = 259 fits, 260 does not.
  const std::string fits = "107" + std::string(11, 'f') + ".txt";
  const std::string tooLong = "107" + std::string(12, 'g') + ".txt";
  source.AddFile(root, fits);
  source.AddFile(root, tooLong);
  // A folder is entered only when its search pattern (path + "\*.txt") fits.
  const std::string enterable = source.AddDirectory(root, std::string(8, 'e') + ".txt");     // 253
  const std::string notEnterable = source.AddDirectory(root, std::string(9, 'n') + ".txt");  // 254
  source.AddFile(enterable, "107.txt");
  source.AddFile(notEnterable, "107.txt");

  RecordingView view;
  RefreshLocalList(WithFolder(root), view, source, 0);

  ASSERT_EQ(view.Names().size(), 1u);
  EXPECT_EQ(view.Names()[0], fits);
  EXPECT_EQ(source.listed, (std::vector<std::string>{root, enterable}));
}

TEST(RefreshLocalListTest, MissingOrEmptyFolderKeepsTheRows) {
  ScriptedSource source;
  for (const std::string& folder : {std::string("absent"), std::string()}) {
    RecordingView view;
    view.rows.push_back({"107old.txt", "2020-01-01 00:00", "1"});
    RefreshLocalList(WithFolder(folder), view, source, 0);
    EXPECT_EQ(view.folderText, folder);
    EXPECT_EQ(view.clears, 0);
    EXPECT_EQ(view.Names(), std::vector<std::string>{"107old.txt"});
    EXPECT_TRUE(source.listed.empty());
  }
}

TEST(RefreshLocalListTest, RowsCarryTheDateInTheGivenOffsetAndTheSize) {
  ScriptedSource source;
  source.tree["R"].push_back({"107A.txt", false, 512, 1614675959});
  RecordingView view;
  RefreshLocalList(WithFolder("R"), view, source, 9 * 3600);
  ASSERT_EQ(view.rows.size(), 1u);
  EXPECT_EQ(view.rows[0], (Row{"107A.txt", "2021-03-02 18:05", "512"}));
}

// ---- the platform's file system ---------------------------------------------

// Local time minus UTC now, worked out from the C library's broken-down times.
std::int64_t OffsetFromCalendar() {
  const std::time_t now = std::time(nullptr);
  const std::tm local = *std::localtime(&now);
  const std::tm utc = *std::gmtime(&now);
  int dayShift = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) dayShift = local.tm_year > utc.tm_year ? 1 : -1;
  return dayShift * 86400 + (local.tm_hour - utc.tm_hour) * 3600 +
         (local.tm_min - utc.tm_min) * 60 + (local.tm_sec - utc.tm_sec);
}

// n bytes of filler at Path()/relative.
void WriteSized(const test::TempFolder& folder, const std::string& relative, std::size_t size) {
  folder.Write(relative, std::string(size, 'x'));
}

TEST(CurrentUtcOffsetTest, MatchesTheCalendar) {
  EXPECT_EQ(CurrentUtcOffsetSeconds(), OffsetFromCalendar());
}

TEST(PlatformListingTest, ShowsReceivedTextFilesOnly) {
  test::TempFolder folder;
  WriteSized(folder, "107A.txt", 512);
  WriteSized(folder, "107b.TXT", 3);
  WriteSized(folder, "a107.txt", 1);
  WriteSized(folder, "107c.dat", 1);
  WriteSized(folder, "107d.txt.bak", 1);
  WriteSized(folder, "old.txt/107x.txt", 7);
  WriteSized(folder, "old/107x.txt", 1);
  WriteSized(folder, "107y.txt/107inner.txt", 2);
  WriteSized(folder, ".hidden.txt/107h.txt", 1);

  // 09:05:59 local time on 2 March 2021, by the offset in force now.
  constexpr std::int64_t kWallClockAsUtc = 1614675959;
  utimbuf times{};
  times.actime = static_cast<std::time_t>(kWallClockAsUtc - OffsetFromCalendar());
  times.modtime = times.actime;
  ASSERT_EQ(utime((folder.Path() / "107A.txt").string().c_str(), &times), 0);

  RecordingView view;
  RefreshLocalList(WithFolder(folder.Path().string()), view);

  EXPECT_EQ(view.folderText, folder.Path().string());
  std::vector<std::string> names = view.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"107A.txt", "107b.TXT", "107y.txt\\107inner.txt",
                                             "old.txt\\107x.txt"}));
  for (const Row& row : view.rows) {
    if (row.name == "107A.txt") {
      EXPECT_EQ(row.size, "512");
      EXPECT_EQ(row.date, "2021-03-02 09:05");
    }
    if (row.name == "old.txt\\107x.txt") {
      EXPECT_EQ(row.size, "7");
    }
  }
}

TEST(PlatformListingTest, MissingFolderKeepsTheRows) {
  test::TempFolder folder;
  const std::string missing = (folder.Path() / "absent").string();
  RecordingView view;
  view.rows.push_back({"107old.txt", "2020-01-01 00:00", "1"});
  RefreshLocalList(WithFolder(missing), view);
  EXPECT_EQ(view.folderText, missing);
  EXPECT_EQ(view.clears, 0);
  EXPECT_EQ(view.Names(), std::vector<std::string>{"107old.txt"});
}

TEST(PlatformProbeTest, AFolderTakesANewFileAndKeepsNoneOfIt) {
  test::TempFolder folder;
  folder.Write("kept.txt", "x");
  EXPECT_TRUE(PlatformDirectorySource().AcceptsNewFiles(folder.Text()));
  EXPECT_EQ(folder.EntryCount(), 1) << "the probe's file is gone";
  EXPECT_FALSE(PlatformDirectorySource().AcceptsNewFiles((folder.Path() / "absent").string()));
}

TEST(PlatformListingTest, EmptyFolderEmptiesTheList) {
  test::TempFolder folder;
  RecordingView view;
  view.rows.push_back({"107old.txt", "2020-01-01 00:00", "1"});
  RefreshLocalList(WithFolder(folder.Path().string()), view);
  EXPECT_EQ(view.clears, 1);
  EXPECT_TRUE(view.rows.empty());
}

}  // namespace
}  // namespace dovrel
