// The rules of a pipe name, the same for every back end, so that a name one
// platform takes is never refused by another.
#pragma once

#include <string>

namespace platform {

// "\\.\pipe\NAME" (prefix in any case) -> NAME in lower case. False with
// ERROR_INVALID_NAME when the prefix is missing, NAME is empty or longer than
// 200 characters, or holds a slash, a backslash or a NUL.
bool PipeBaseName(const std::string& csName, std::string* pcsBase);

} // namespace platform
