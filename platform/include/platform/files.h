// Files and folders: wildcard search, attributes, copy, move, delete.
//
// Attributes follow Windows: read-only, hidden, archive, directory. A read-only
// file cannot be overwritten, moved over or deleted (ERROR_ACCESS_DENIED) until
// its attribute is cleared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum : uint32_t {
    FILE_ATTRIBUTE_READONLY = 0x01,
    FILE_ATTRIBUTE_HIDDEN = 0x02,
    FILE_ATTRIBUTE_DIRECTORY = 0x10,
    FILE_ATTRIBUTE_ARCHIVE = 0x20,
    FILE_ATTRIBUTE_NORMAL = 0x80,
    INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF,
};

struct FindData {
    std::string csName; // the entry's name, without its folder
    uint32_t dwAttributes;
    uint64_t qwSize;
};

// The entries of one folder whose names match the wildcard pattern of the last
// path component ("*" any run, "?" one character; case-insensitive, as
// Windows matches). "." and ".." are left out. Fails with ERROR_FILE_NOT_FOUND
// when nothing matches, ERROR_PATH_NOT_FOUND when the folder is missing.
bool FindFiles(const std::string& csPattern, std::vector<FindData>* pResults);

bool FileExists(const std::string& csPath);
bool DirectoryExists(const std::string& csPath);
// INVALID_FILE_ATTRIBUTES (last error set) when the path does not exist.
uint32_t GetFileAttributes(const std::string& csPath);
// FILE_ATTRIBUTE_NORMAL clears read-only and hidden.
bool SetFileAttributes(const std::string& csPath, uint32_t dwAttributes);

// Copies a file; with bFailIfExists an existing target gives ERROR_FILE_EXISTS.
bool CopyFile(const std::string& csFrom, const std::string& csTo, bool bFailIfExists);
// Renames a file; with bReplaceExisting an existing target is replaced atomically.
bool MoveFile(const std::string& csFrom, const std::string& csTo, bool bReplaceExisting);
bool DeleteFile(const std::string& csPath);
bool CreateDirectory(const std::string& csPath);

// Forces a file's contents to disk.
bool FlushFileToDisk(const std::string& csPath);

} // namespace platform
