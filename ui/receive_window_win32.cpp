#include "ui/receive_window_win32.h"

#include <commctrl.h>

#include <vector>

#include "base/message_box.h"
#include "base/transfer_item.h"
#include "net/wire_text.h"
#include "resources/resource_ids.h"
#include "ui/progress_window_win32.h"
#include "base/win32/window_helpers_win32.h"
#include "ui/window_wait_win32.h"
#include "ui/busy_popup_win32.h"
#include "session/file_list_exchange.h"
#include "session/file_list_view.h"
#include "session/transport_security.h"
#include "ui/local_listing.h"
#include "ui/local_list_view.h"
#include "ui/receive_actions.h"
#include "ui/resource_module_win32.h"

namespace dovrel {
namespace {

constexpr int kReceiveDialog = IDD_RECEIVE;
constexpr int kFolderEdit = IDC_RECEIVE_FOLDER_EDIT;
constexpr int kChangeFolder = IDC_RECEIVE_CHANGE_FOLDER;
constexpr int kDateEdit = IDC_RECEIVE_DATE_EDIT;
constexpr int kSearch = IDC_RECEIVE_SEARCH;
constexpr int kServerList = IDC_RECEIVE_SERVER_LIST;
constexpr int kLocalList = IDC_RECEIVE_LOCAL_LIST;
constexpr int kReceivedList = IDC_RECEIVE_RECEIVED_LIST;
constexpr int kSearchAll = IDC_RECEIVE_SEARCH_ALL;
constexpr int kReadAgain = IDC_RECEIVE_READ_AGAIN;
constexpr int kReceive = IDC_RECEIVE_RECEIVE;
constexpr int kClose = IDC_RECEIVE_CLOSE;

constexpr unsigned long kListStyle = 0x421;  // grid lines, full-row selection, info tips

struct Column {
  const char* title;
  int width;
};

class ReceiveWindow final : public FileListView, public LocalListView, public ReceiveView {
 public:
  ReceiveWindow(const ReceiveParameters& parameters, FolderServices& folders)
      : parameters_(parameters), folders_(folders) {}

  int Run(HWND owner) {
    return static_cast<int>(DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(kReceiveDialog),
                                            owner, Procedure, reinterpret_cast<LPARAM>(this)));
  }

  // FileListView
  std::string DateText() override { return ControlTextAnsi(Item(kDateEdit)); }
  void SetDateText(const std::string& text) override {
    SetWindowTextA(Item(kDateEdit), text.c_str());
  }
  void FocusDateEdit() override {
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(kDateEdit)), TRUE);
  }
  void ClearServerRows() override {
    if (ListView_GetItemCount(Item(kServerList)) > 0) ListView_DeleteAllItems(Item(kServerList));
  }
  void AddServerRow(const char* wireName) override { AppendRow(kServerList, wireName); }
  void SetServerListStyle(unsigned long style) override { SetListStyle(kServerList, style); }
  void StartBusyPopup(const char* text) override { busy_.Start(text); }
  void StopBusyPopup() override { busy_.Stop(); }
  void ShowMessage(const std::string& text, const char* caption, unsigned flags) override {
    ShowMessageUtf8(window_, text, caption, flags);
  }
  const WireText& Wire() const override { return PlatformWireText(); }

  // LocalListView
  void SetFolderText(const std::string& folder) override {
    SetWindowTextA(Item(kFolderEdit), folder.c_str());
  }
  void ClearLocalRows() override { ListView_DeleteAllItems(Item(kLocalList)); }
  void AppendLocalRow(const std::string& name, const std::string& date,
                      const std::string& size) override {
    const int row = AppendRow(kLocalList, name.c_str());
    SetCell(kLocalList, row, 1, date);
    SetCell(kLocalList, row, 2, size);
  }
  void SetLocalListStyle(unsigned long style) override { SetListStyle(kLocalList, style); }

  // ReceiveView
  int ServerRowCount() override { return ListView_GetItemCount(Item(kServerList)); }
  bool IsServerRowTicked(int row) override {
    const UINT state = ListView_GetItemState(Item(kServerList), row, LVIS_STATEIMAGEMASK);
    return (state >> 12) == 2;
  }
  std::string ServerRowName(int row) override {
    char name[kPathSize] = {};
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = name;
    item.cchTextMax = sizeof name;
    SendMessageA(Item(kServerList), LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    return FieldText(name);
  }
  std::string FolderText() override { return ControlTextAnsi(Item(kFolderEdit)); }
  void RunTransfer(TransferItem* items, int count, const ReceiveParameters& parameters) override {
    ProgressWindow progress(ResourceModule(), busy_);
    progress.Setup(items, count, parameters);
    progress.Run(window_);  // owned by this window, which it disables, active or not
  }
  void ClearReceivedRows() override { ListView_DeleteAllItems(Item(kReceivedList)); }
  void AddReceivedRow(const char* wireName) override { AppendRow(kReceivedList, wireName); }
  void RefreshLocalList() override { dovrel::RefreshLocalList(parameters_, *this); }
  int ChooseFolder(const std::string& current, std::string* chosen) override {
    return folders_.ChooseFolder(window_, current, chosen);
  }
  void StoreFolder(const std::string& folder) override { folders_.StoreFolder(folder); }

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = DialogObject<ReceiveWindow>(window, message, lParam);
    if (self == nullptr) return FALSE;
    self->window_ = window;
    if (message == WM_INITDIALOG) {
      self->Open();
      self->CloseIfAsked();
      return TRUE;
    }
    if (WindowWait* wait = WindowWait::Current()) return self->DuringWait(*wait, message, wParam);
    if (message == WM_COMMAND) {
      const INT_PTR handled = self->Command(LOWORD(wParam), HIWORD(wParam));
      self->CloseIfAsked();
      return handled;
    }
    return FALSE;
  }

  // This thread waits for the server (this window's query, or the progress
  // window's key exchange) and serves messages meanwhile: no command runs; a
  // close request ends the wait, and the window once the waiting is over.
  INT_PTR DuringWait(WindowWait& wait, UINT message, WPARAM wParam) {
    int result = 0;
    if (message == WM_CLOSE) {
      result = IDCANCEL;
    } else if (message == WM_COMMAND) {
      const int id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL) result = id;
      if (id == kClose) result = 1;
    } else {
      return FALSE;
    }
    if (result != 0) {
      closeAfterWait_ = result;
      wait.Abandon();
    }
    return TRUE;
  }

  void CloseIfAsked() {
    if (closeAfterWait_ != 0) EndDialog(window_, closeAfterWait_);
  }

  // Runs a file list query with this thread serving its messages while it waits.
  template <typename Query>
  void AskServer(Query query) {
    if (!access_.Ready()) {  // TLS asked for but unable to run: nothing goes out in clear
      ShowMessage(kNoConnectionText, kCaptionNotice, kMbAlert);
      return;
    }
    WindowWait wait({window_}, &busy_);
    ExchangeTimeouts timeouts;
    timeouts.hook = &wait;
    query(access_.With(timeouts));
  }

  void Open() {
    CentreOnOwner(window_);
    SendMessageW(Item(kDateEdit), EM_LIMITTEXT, kSearchDateLength, 0);
    SetDateText(FieldText(parameters_.searchDate));
    SetFolderText(FieldText(parameters_.receiveFolder));
    AddColumns(kServerList, {{"파일명", 200}});
    AddColumns(kLocalList, {{"파일명", 150}, {"수정날짜", 100}, {"크기", 70}});
    AddColumns(kReceivedList, {{"파일명", 250}});
    RefreshLocalList();
    if (parameters_.searchDate[0] != '\0') {
      AskServer([this](const ExchangeTimeouts& timeouts) {
        QueryFileList(parameters_, *this, serverFiles_, timeouts, access_.pins);
      });
    }
  }

  INT_PTR Command(int id, int notification) {
    if (id == IDOK || id == IDCANCEL) {
      EndDialog(window_, id);
      return TRUE;
    }
    if (notification != BN_CLICKED) return FALSE;
    switch (id) {
      case kChangeFolder:
        ChangeReceiveFolder(parameters_, *this, IsAnsiLeadByte);
        break;
      case kSearch:
        AskServer([this](const ExchangeTimeouts& timeouts) {
          QueryFileList(parameters_, *this, serverFiles_, timeouts, access_.pins);
        });
        break;
      case kSearchAll:
        AskServer([this](const ExchangeTimeouts& timeouts) {
          SearchAllFiles(parameters_, *this, serverFiles_, timeouts, access_.pins);
        });
        break;
      case kReadAgain:
        RefreshLocalList();
        break;
      case kReceive:
        ReceiveTickedFiles(parameters_, *this, PlatformDirectorySource(), IsAnsiLeadByte);
        break;
      case kClose:
        EndDialog(window_, 1);
        break;
      default:
        return FALSE;
    }
    return TRUE;
  }

  HWND Item(int id) const { return GetDlgItem(window_, id); }

  void AddColumns(int list, std::initializer_list<Column> columns) {
    int index = 0;
    for (const Column& column : columns) {
      const std::wstring title = Utf8ToWide(column.title);
      LVCOLUMNW entry{};
      entry.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      entry.fmt = LVCFMT_LEFT;
      entry.cx = column.width;
      entry.pszText = const_cast<wchar_t*>(title.c_str());
      entry.iSubItem = index;
      SendMessageW(Item(list), LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(&entry));
      ++index;
    }
    SetListStyle(list, kListStyle);
  }

  void SetListStyle(int list, unsigned long style) {
    SendMessageW(Item(list), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
  }

  int AppendRow(int list, const char* text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(Item(list));
    item.pszText = const_cast<char*>(text);
    return static_cast<int>(
        SendMessageA(Item(list), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  }

  void SetCell(int list, int row, int column, const std::string& text) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(Item(list), LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
  }

  ReceiveParameters parameters_;
  FolderServices& folders_;
  HWND window_ = nullptr;
  std::vector<TransferItem> serverFiles_;
  // The servers the list queries may tell the user id to, and how they are reached.
  const ServerAccess access_ = SessionServerAccess(parameters_);
  BusyPopup busy_;
  int closeAfterWait_ = 0;  // the result of a close asked for while waiting
};

}  // namespace

int RunReceiveWindow(const ReceiveParameters& parameters, HWND owner, FolderServices& folders) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  ReceiveWindow window(parameters, folders);
  return window.Run(owner);
}

}  // namespace dovrel
