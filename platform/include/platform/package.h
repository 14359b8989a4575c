// Driver packages: what the maker ships to update the installed drivers.
//
// On Windows a package is a self-extracting program, run with the folder to
// unpack into. On POSIX the package is an archive (tar, plain or compressed,
// zip, cpio, ...) that this facility unpacks with libarchive.
#pragma once

#include <string>

namespace platform {

// Unpacks the package csPackage into the existing folder csFolder.
//
// Only folders and regular files are laid, every one inside csFolder: an entry
// with an absolute name or a ".." step, a link of any kind, a device or pipe
// refuses the whole package before anything is written (ERROR_INVALID_NAME).
// Files keep their read and execute bits, never set-id bits. A damaged or
// unreadable archive fails with ERROR_INVALID_DATA (what was laid before the
// damage stays, inside the folder); more than a gibibyte or 100,000 entries
// is taken for damage too.
bool ExtractPackage(const std::string& csPackage, const std::string& csFolder);

} // namespace platform
