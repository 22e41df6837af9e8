#pragma once
// The few socket calls that differ between Windows Sockets and Berkeley
// sockets. socket.cpp holds the logic; socket_win32.cpp and socket_posix.cpp
// each implement this header for their platform.

#include <cstdint>

#include "socket.h"

namespace dovrel::platform {

bool StartNetwork();    // WSAStartup 1.1; true on POSIX
void StopNetwork();     // WSACleanup; nothing on POSIX
int LastSocketError();  // WSAGetLastError or errno
void ClearSocketError();
bool IsConnectInProgress(int error);  // WSAEWOULDBLOCK; EINPROGRESS on POSIX

NativeSocket OpenStreamSocket();
bool SetNonBlocking(NativeSocket s, bool on);
int ConnectIPv4(NativeSocket s, std::uint32_t address, int port);  // 0 or -1
int PendingError(NativeSocket s);  // SO_ERROR after a connect wait; 0 when none
int ShutdownBoth(NativeSocket s);
int CloseSocket(NativeSocket s);  // 0 or -1
int SendSome(NativeSocket s, const void* data, int length);
int ReceiveSome(NativeSocket s, void* buffer, int capacity);

// >0 ready, 0 timed out, -1 failed. `watchErrors` also wakes on a failed
// connect, which Windows reports in the exception set rather than as writable.
int WaitSocket(NativeSocket s, int timeoutMs, bool forReading, bool watchErrors);

// Before libssl writes to a socket: its writes cannot ask for MSG_NOSIGNAL,
// so on POSIX a peer that has gone must not raise SIGPIPE in the process.
void PrepareTlsWrites();

bool ParseDottedIPv4(const char* text, std::uint32_t* hostOrder);

}  // namespace dovrel::platform
