// The system root's rules of ownership on POSIX (POSIX side only): who owns
// the root, the administrators' group, and folders and files of the root
// opened without following symbolic links and checked before use.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::posix {

// The owner of the system root; the calling process's user while there is no root.
uid_t RootOwner();
// Root and the root's owner: the users the machine's own programs run as.
bool IsRootOwner(uid_t uid);
// The administrators' group; false when the setting names no group of the machine.
bool AdministratorsGroupId(gid_t* pGid);

// Opens one of the root's own folders ("" for the root itself, "run",
// "system"), laying it with its owner and mode when it is missing and the
// caller is a root owner. The folder must be a real folder (never a link),
// belong to a root owner, and be writable by nobody but its owner and the
// administrators. Returns a descriptor (O_DIRECTORY) or -1 with the last error
// set (ERROR_ACCESS_DENIED for a folder that breaks the rules).
int OpenRootFolder(const std::string& csName);

// Opens the folder csName directly under dirFd without following a link,
// making it with mode (and the administrators' group when mode gives the group
// any right) when bCreate and it is missing. An existing folder must belong
// to uOwner (any root owner when uOwner is -1) and give nobody else more
// rights than mode does. -1 with the last error set otherwise.
int OpenCheckedFolder(int dirFd, const std::string& csName, mode_t mode, uid_t uOwner,
                      bool bCreate);

// Opens or creates a regular file directly under dirFd without following a
// link; a file it creates gets exactly mode (past the umask). -1 with the last
// error set when the name is not a regular file.
int OpenFileIn(int dirFd, const std::string& csName, int iFlags, mode_t mode);

// The mode to lay a folder or file of the root with: as given while the
// administrators' group exists, else without the group's rights.
mode_t RootMode(mode_t mode);

} // namespace platform::posix
