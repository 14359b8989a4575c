// The security descriptor of a named pipe that the back end makes (the pipes
// facility's and the RPC runtime's endpoints): the system and the
// Administrators may always open it; a user's own pipe (PipeAccess::Default)
// its user too.
#pragma once

#include "platform/pipes.h"

#include "windows_api.h"

namespace platform {

// The descriptor of a new pipe, owned by the Administrators for
// PipeAccess::EveryLocalUser; LocalFree it. Null (with the last error) when the
// process's user cannot be read.
PSECURITY_DESCRIPTOR PipeSecurity(PipeAccess eAccess);

} // namespace platform
