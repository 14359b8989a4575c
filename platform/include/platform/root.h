// The system root: the directory that holds the emulated machine's state.
//
// Named by the environment variable VEX_ROOT (default /var/lib/ambrel). It holds
// the stores (registry, services, spooler), run/ (sockets and lock files) and
// system/ (the system directory). Read anew on every call, so a test can point a
// process at a fresh root.
#pragma once

#include <string>

namespace platform {

// The root directory, without a trailing separator.
std::string SystemRoot();
// Path of a file or folder inside the root ("run/x.sock" -> "<root>/run/x.sock").
std::string RootPath(const std::string& csRelative);
// Creates the root and its standard folders if missing. Returns false (last error
// set) when the root cannot be made.
bool EnsureSystemRoot();

} // namespace platform
