// Windows Sockets 1.1. A failed non-blocking connect is reported in the
// exception set, so the connect wait watches it as well as the write set.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/socket_platform.h"

namespace dovrel::platform {

bool StartNetwork() {
  WSADATA data;
  return ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
}
void StopNetwork() { ::WSACleanup(); }
int LastSocketError() { return ::WSAGetLastError(); }
void ClearSocketError() { ::WSASetLastError(0); }
bool IsConnectInProgress(int error) { return error == WSAEWOULDBLOCK; }

NativeSocket OpenStreamSocket() {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<NativeSocket>(s);
}

bool SetNonBlocking(NativeSocket s, bool on) {
  u_long mode = on ? 1 : 0;
  return ::ioctlsocket(static_cast<SOCKET>(s), FIONBIO, &mode) == 0;
}

int ConnectIPv4(NativeSocket s, std::uint32_t address, int port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(port));
  to.sin_addr.s_addr = htonl(address);
  return ::connect(static_cast<SOCKET>(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0
             ? 0
             : -1;
}

int PendingError(NativeSocket s) {
  int error = 0;
  int size = sizeof error;
  if (::getsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                   &size) != 0)
    return ::WSAGetLastError();
  return error;
}

int ShutdownBoth(NativeSocket s) { return ::shutdown(static_cast<SOCKET>(s), SD_BOTH); }
int CloseSocket(NativeSocket s) { return ::closesocket(static_cast<SOCKET>(s)) == 0 ? 0 : -1; }

int SendSome(NativeSocket s, const void* data, int length) {
  return ::send(static_cast<SOCKET>(s), static_cast<const char*>(data), length, 0);
}

int ReceiveSome(NativeSocket s, void* buffer, int capacity) {
  int n = ::recv(static_cast<SOCKET>(s), static_cast<char*>(buffer), capacity, 0);
  if (n == 0) ::WSASetLastError(0);  // the peer closed: a failure with no error code
  return n;
}

int WaitSocket(NativeSocket s, int timeoutMs, bool forReading, bool watchErrors) {
  SOCKET handle = static_cast<SOCKET>(s);
  fd_set ready;
  fd_set errors;
  FD_ZERO(&ready);
  FD_ZERO(&errors);
  FD_SET(handle, &ready);
  if (watchErrors) FD_SET(handle, &errors);
  timeval limit{};
  limit.tv_sec = timeoutMs / 1000;
  limit.tv_usec = (timeoutMs % 1000) * 1000;
  int n = ::select(static_cast<int>(handle + 1), forReading ? &ready : nullptr,
                   forReading ? nullptr : &ready, watchErrors ? &errors : nullptr,
                   timeoutMs < 0 ? nullptr : &limit);
  return n == SOCKET_ERROR ? -1 : n;
}

void PrepareTlsWrites() {}  // Windows Sockets raise no signal

bool ParseDottedIPv4(const char* text, std::uint32_t* hostOrder) {
  unsigned long parsed = ::inet_addr(text);
  if (parsed == INADDR_NONE) return false;
  *hostOrder = ntohl(parsed);
  return true;
}

}  // namespace dovrel::platform
