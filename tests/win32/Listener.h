// A TCP listener on 127.0.0.1, made with Windows Sockets directly: the
// platform has no server side, yet the client calls need one to talk to.
#pragma once

#include <cstdint>

namespace win32test {

// Listens on a port of the system's choice; -1 when it cannot.
intptr_t ListenOnLoopback(uint16_t* puPort);
// The next connection to the listener; -1 when none comes.
intptr_t AcceptOne(intptr_t listener);
void CloseRaw(intptr_t s);

} // namespace win32test
