#pragma once
// The chunking of SocketBase::Send, apart from the socket so that the waits
// and the chunk sizes can be watched: at most kSendChunk bytes per send, each
// send after its own readiness wait, the next chunk starting where the
// platform's send stopped (it may take less than it was offered).

#include <algorithm>

#include "net/socket.h"

namespace dovrel {

// wait() -> true when the socket is ready; send(data, size) -> bytes taken,
// 0 or less on failure. Result: the bytes sent.
template <typename Wait, typename SendSome>
int SendInChunks(const char* data, int length, Wait wait, SendSome send) {
  int sent = 0;
  while (length - sent > 0) {
    if (!wait()) break;
    const int n = send(data + sent, std::min(length - sent, kSendChunk));
    if (n <= 0) break;
    sent += n;
  }
  return sent;
}

}  // namespace dovrel
