// A TCP listener on 127.0.0.1 for the tests that play a server: the platform
// has no server side, yet its client calls need one to talk to. Made with each
// system's sockets directly (posix/, win32/); what it accepts is a platform
// socket.
#pragma once

#include "platform/sockets.h"

#include <cstdint>

namespace vextest {

// Listens on a port of the system's choice; INVALID_SOCKET when it cannot.
// Closed with platform::CloseSocket, as what it accepts.
platform::SOCKET ListenOnLoopback(uint16_t* puPort);
// The next connection to the listener; INVALID_SOCKET when none comes.
platform::SOCKET AcceptOne(platform::SOCKET listener);

} // namespace vextest
