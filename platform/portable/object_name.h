// The names of machine-wide objects (named mutexes), the same on every system.
#pragma once

#include <string>

namespace platform {

// 1..200 characters, no slash or NUL, not "." or "..".
bool IsValidObjectName(const std::string& csName);

} // namespace platform
