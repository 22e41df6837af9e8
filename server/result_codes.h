#pragma once
// RESULT_CODE values of the server's replies. Clients treat any code but 0 as
// a failure and show RESULT_MSG with it.

namespace dovrel::server {

inline constexpr char kResultOk[] = "0000";
inline constexpr char kResultUnknownService[] = "1001";
inline constexpr char kResultMissingElement[] = "1002";
inline constexpr char kResultBadRequest[] = "1004";
inline constexpr char kResultInternal[] = "1009";
inline constexpr char kResultUnknownSession[] = "2001";
inline constexpr char kResultKeyExchangeFailed[] = "2002";
inline constexpr char kResultNoKeyExchange[] = "2003";
inline constexpr char kResultBadFileName[] = "4001";
inline constexpr char kResultFileNotFound[] = "4002";
inline constexpr char kResultFileUnreadable[] = "4003";
inline constexpr char kResultFileTooLarge[] = "4004";

}  // namespace dovrel::server
