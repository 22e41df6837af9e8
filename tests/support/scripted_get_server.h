#pragma once
// A scripted server for the download worker: every GET is answered by the
// test's handler, TERMINATE with an empty successful document. It counts both.

#include <atomic>
#include <functional>
#include <string>

#include "tests/support/loopback_peer.h"

namespace dovrel::test {

class ScriptedGetServer {
 public:
  explicit ScriptedGetServer(std::function<void(PeerConnection&)> get)
      : peer_([this, get = std::move(get)](PeerConnection& c) {
          const std::string request = c.ReadRequest();
          if (request.find("<SERVICE_CODE>TERMINATE</SERVICE_CODE>") != std::string::npos) {
            ++terminates;
            c.SendReply("<RESULT_CODE>0000</RESULT_CODE>");
            c.ReadReceipt();
            return;
          }
          ++gets;
          get(c);
        }) {}
  // Answers every GET with `reply`, then reads the receipt.
  explicit ScriptedGetServer(std::string reply)
      : ScriptedGetServer([reply = std::move(reply)](PeerConnection& c) {
          c.SendReply(reply);
          c.ReadReceipt();
        }) {}
  bool Listening() const { return peer_.Listening(); }
  int Port() const { return peer_.Port(); }
  std::atomic<int> gets{0};
  std::atomic<int> terminates{0};

 private:
  LoopbackPeer peer_;
};

}  // namespace dovrel::test
