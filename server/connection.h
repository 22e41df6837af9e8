#pragma once
// One connection of the file server: a request, its reply, the receipt marker.

#include "server/server_state.h"

namespace dovrel::server {

// Serves the connection on `socket`. Closes nothing: the caller owns the socket.
void ServeConnection(int socket, FileServer::State& state);

}  // namespace dovrel::server
