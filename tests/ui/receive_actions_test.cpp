#include "ui/receive_actions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/message_box.h"

namespace dovrel {
namespace {

class FakeFiles : public DirectorySource {
 public:
  bool Exists(const std::string& path) const override {
    return directories.count(path) + files.count(path) > 0;
  }
  bool IsDirectory(const std::string& path) const override { return directories.count(path) > 0; }
  bool AcceptsNewFiles(const std::string& path) const override {
    return directories.count(path) > 0 && path != "C:\\locked";
  }
  void ForEachTxtEntry(const std::string&,
                       const std::function<void(const DirectoryEntry&)>&) const override {}
  std::set<std::string> directories{"C:\\recv", "C:\\locked"};
  std::set<std::string> files{"C:\\file"};
};

class FakeReceiveView : public ReceiveView {
 public:
  int ServerRowCount() override { return static_cast<int>(rows.size()); }
  bool IsServerRowTicked(int row) override { return ticked.count(row) > 0; }
  std::string ServerRowName(int row) override { return rows[static_cast<std::size_t>(row)]; }
  std::string FolderText() override { return folder; }
  void ShowMessage(const std::string& text, const char* caption, unsigned boxFlags) override {
    messages.push_back(text);
    captions.push_back(caption);
    flags.push_back(boxFlags);
  }
  void RunTransfer(TransferItem* items, int count, const ReceiveParameters& parameters) override {
    transferFolder = FieldText(parameters.receiveFolder);
    for (int i = 0; i < count; ++i) {
      paths.push_back(items[i].localPath);
      items[i].done = refused.count(items[i].fileName) ? 0 : 1;
    }
  }
  void ClearReceivedRows() override { received.clear(); }
  void AddReceivedRow(const char* name) override { received.push_back(name); }
  void RefreshLocalList() override { ++refreshes; }
  int ChooseFolder(const std::string& current, std::string* chosen) override {
    offered = current;
    *chosen = choice;
    return choiceResult;
  }
  void StoreFolder(const std::string& chosenFolder) override { stored.push_back(chosenFolder); }
  const WireText& Wire() const override { return IdentityWireText(); }

  std::vector<std::string> rows;
  std::set<int> ticked;
  std::string folder = "C:\\recv";
  std::set<std::string> refused;
  std::vector<std::string> messages, captions, paths, received, stored;
  std::vector<unsigned> flags;
  std::string transferFolder = "not run", offered, choice;
  int choiceResult = 1;
  int refreshes = 0;
};

TEST(ReceiveTickedFiles, EachCheckStopsWithItsMessageInOrder) {
  const struct {
    std::vector<std::string> rows;
    std::set<int> ticked;
    std::string folder;
    std::string message;
    unsigned flags;
  } cases[] = {
      {{}, {}, "", kNothingToReceiveText, kMbAlert},
      {{"a.txt"}, {}, "", kNothingTickedText, kMbAlert},
      {{"a.txt"}, {0}, "", kNoFolderText, kMbOk},
      {{"a.txt"},
       {0},
       "C:\\none",
       "수신파일저장폴더로 지정한\nC:\\none 가 존재하지 않습니다",
       kMbOk},
      {{"a.txt"},
       {0},
       "C:\\file",
       "수신파일저장폴더로 지정한\nC:\\file 는 디렉토리가 아닙니다",
       kMbOk},
      {{"a.txt"},
       {0},
       "C:\\locked",
       "수신파일저장폴더로 지정한\nC:\\locked 에 파일을 저장할 수 없습니다",
       kMbOk},
  };
  for (const auto& c : cases) {
    FakeReceiveView view;
    view.rows = c.rows;
    view.ticked = c.ticked;
    view.folder = c.folder;
    ReceiveParameters parameters;
    EXPECT_EQ(ReceiveTickedFiles(parameters, view, FakeFiles(), IsCp949LeadByte), -1);
    EXPECT_EQ(view.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(view.captions, std::vector<std::string>{kCaptionNotice});
    EXPECT_EQ(view.flags, std::vector<unsigned>{c.flags});
    EXPECT_EQ(view.transferFolder, "not run");
  }
}

// A file's path in the fake view's folder, with the platform's separator.
std::string InFolder(const char* name) { return std::string("C:\\recv") + kPathSeparator + name; }

TEST(ReceiveTickedFiles, ReceivesTheTickedRowsAndSumsUp) {
  FakeReceiveView view;
  view.rows = {"a.txt", "b.txt", "c.txt", "d.txt"};
  view.ticked = {0, 1, 3};
  view.refused = {"b.txt"};
  view.received = {"old"};
  ReceiveParameters parameters;
  EXPECT_EQ(ReceiveTickedFiles(parameters, view, FakeFiles(), IsCp949LeadByte), 2);
  EXPECT_EQ(view.transferFolder, "C:\\recv");
  EXPECT_EQ(FieldText(parameters.receiveFolder), "C:\\recv");
  EXPECT_EQ(view.paths,
            (std::vector<std::string>{InFolder("a.txt"), InFolder("b.txt"), InFolder("d.txt")}));
  EXPECT_EQ(view.received, (std::vector<std::string>{"a.txt", "d.txt"}));
  EXPECT_EQ(view.messages,
            std::vector<std::string>{
                "파일 수신 결과 입니다\n    총 파일수 :   3\n    성공 :   2\n    실패 :   1"});
  EXPECT_EQ(view.captions, std::vector<std::string>{kCaptionTransferResult});
  EXPECT_EQ(view.refreshes, 1);
}

TEST(ReceiveTickedFiles, APathTooLongIsNotFetchedAndCountsAsFailed) {
  FakeReceiveView view;
  view.rows = {std::string(252, 'n'), "a.txt"};  // "C:\\recv\\" + 252 = 260 bytes
  view.ticked = {0, 1};
  view.refused = {"a.txt"};
  ReceiveParameters parameters;
  EXPECT_EQ(ReceiveTickedFiles(parameters, view, FakeFiles(), IsCp949LeadByte), 0);
  EXPECT_EQ(view.paths, std::vector<std::string>{InFolder("a.txt")});
  EXPECT_EQ(view.messages.back(), ReceiveSummary(2, 0));
  EXPECT_EQ(view.refreshes, 0) << "nothing arrived, nothing to list";
}

TEST(ChangeReceiveFolder, TakesOnlyANewConfirmedFolder) {
  const struct {
    std::string choice;
    int result;
    bool taken;
  } cases[] = {
      {"D:\\new", 2, false},
      {"", 1, false},
      {"c:\\RECV", 1, false},
      {"D:\\new", 1, true},
  };
  for (const auto& c : cases) {
    FakeReceiveView view;
    view.choiceResult = c.result;
    view.choice = c.choice;
    ReceiveParameters parameters;
    SetFieldText(parameters.receiveFolder, "C:\\recv");
    EXPECT_EQ(ChangeReceiveFolder(parameters, view, IsCp949LeadByte), c.taken) << c.choice;
    EXPECT_EQ(view.offered, "C:\\recv");
    EXPECT_EQ(view.stored.size(), c.taken ? 1u : 0u);
    EXPECT_EQ(view.refreshes, c.taken ? 1 : 0);
    EXPECT_EQ(FieldText(parameters.receiveFolder), c.taken ? c.choice : "C:\\recv");
  }
}

}  // namespace
}  // namespace dovrel
