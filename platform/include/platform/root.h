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
// Creates the root and its standard folders if missing: the root and system/
// 02770, run/ 03770, owned by whoever lays them (root on a real machine) and
// the administrators' group (platform/access.h). Existing folders are checked
// instead: a link, a folder of another owner or one that gives anybody else
// more rights is refused (ERROR_ACCESS_DENIED), never repaired. Returns false
// (last error set) when the root cannot be made or used.
bool EnsureSystemRoot();

} // namespace platform
