#pragma once
// The file-list exchange: asks the file server which files it holds for the
// date in the date edit box (an INIT and a GETLIST Exchange) and fills the
// server file list with them. The main window and the receiver both run it
// through a FileListView.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/exchange.h"
#include "base/transfer_item.h"
#include "session/file_list_view.h"
#include "base/receive_parameters.h"
#include "session/server_pins.h"

namespace dovrel {

inline constexpr std::size_t kFileListReplySize = 30720;
inline constexpr std::size_t kFileListRequestSize = 5120;
// A full reply carries at most this many names (one byte and a separator each);
// the list never holds more, whatever FILE_COUNT announces.
inline constexpr std::size_t kMaxServerFiles = kFileListReplySize / 2;
// Grid lines, full-row selection, tick boxes and info tips.
inline constexpr unsigned long kServerListStyle = 0x425;
inline constexpr std::size_t kSearchDateLength = 8;
inline constexpr char kSearchAllDate[] = "00000000";

inline constexpr char kFileListBusyText[] = "파일 리스트 검색중입니다";
inline constexpr char kBadDateText[] = "검색일자(YYYYMMDD) 8자리를 올바르게 입력하십시오";
inline constexpr char kNoResultCodeText[] = "정상적인 응답을 받지 못하였습니다(RESULT_CODE)";
inline constexpr char kNoFileCountText[] = "정상적인 응답을 받지 못하였습니다(FILE_COUNT)";
inline constexpr char kNoFilesText[] = "검색된 파일이 없습니다";
inline constexpr char kNoFileListText[] = "정상적인 응답을 받지 못하였습니다(FILE_LIST)";

// The server's own error text is cut to this many bytes before it is shown,
// which keeps the whole message within a 1024-byte ANSI text.
inline constexpr std::size_t kServerMessageLimit = 900;

// The names of a FILE_LIST text: separated by "|", runs of separators count
// as one, none empty. At most `maximum` names; the rest are ignored.
std::vector<std::string_view> SplitFileList(std::string_view text, std::size_t maximum);

// The server-error message for a RESULT_CODE other than 0 (code "%04d").
std::string FormatServerError(std::int32_t code, std::string_view messageUtf8);

// Reads the date edit box into parameters.searchDate, and with an 8-character
// date replaces `serverFiles` and the list's rows with the server's names.
// Returns the number of names listed, or 0 after a failure, which has then been
// shown in a message box. Names longer than 259 bytes cannot be held or
// received whole and are left out; with FILE_COUNT above the names present
// only the names present are listed. A server whose INIT certificate `pins`
// do not admit is sent nothing more: not the user id, not the date.
int QueryFileList(ReceiveParameters& parameters, FileListView& view,
                  std::vector<TransferItem>& serverFiles, const ExchangeTimeouts& timeouts = {},
                  const ServerPins& pins = {});

// The same query for every date ("00000000"); the date edit box shows what it
// showed before, while parameters.searchDate keeps "00000000".
int SearchAllFiles(ReceiveParameters& parameters, FileListView& view,
                   std::vector<TransferItem>& serverFiles, const ExchangeTimeouts& timeouts = {},
                   const ServerPins& pins = {});

}  // namespace dovrel
