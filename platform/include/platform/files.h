// Files and folders: wildcard search, attributes, copy, move, delete.
//
// Attributes follow Windows: read-only, hidden, archive, directory. A read-only
// file cannot be overwritten, moved over or deleted (ERROR_ACCESS_DENIED) until
// its attribute is cleared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// Replaces csTo by a copy of csFrom in one step: a reader of csTo sees either its
// old or its complete new contents, also after a crash at any moment. The copy is
// written to a temporary file beside csTo (csTo + ".tmp", reused after a crash),
// forced to disk and renamed over csTo.
// Fails like CopyFile (a read-only csTo gives ERROR_ACCESS_DENIED, a source open
// for writing elsewhere ERROR_SHARING_VIOLATION); csTo is then left as it was.
bool ReplaceFileWithCopy(const std::string& csFrom, const std::string& csTo);

// Creates or empties a file and opens it for writing through stdio, in binary
// (lines end as written), the owner and its group may write it. A link planted
// at the path is never followed: the open fails (a program that writes as an
// administrator must not be led to another file). Null with the last error set.
std::FILE* CreateFileStream(const std::string& csPath);

// The fixed part of a file's version resource.
struct VS_FIXEDFILEINFO {
    uint32_t dwSignature; // VS_FFI_SIGNATURE
    uint32_t dwStrucVersion;
    uint32_t dwFileVersionMS;
    uint32_t dwFileVersionLS;
    uint32_t dwProductVersionMS; // major << 16 | minor
    uint32_t dwProductVersionLS; // build << 16 | revision
    uint32_t dwFileFlagsMask;
    uint32_t dwFileFlags;
    uint32_t dwFileOS;
    uint32_t dwFileType;
    uint32_t dwFileSubtype;
    uint32_t dwFileDateMS;
    uint32_t dwFileDateLS;
};

enum : uint32_t {
    VS_FFI_SIGNATURE = 0xFEEF04BD,
    VS_FFI_STRUCVERSION = 0x00010000,
};

// A file's version resource. A program file of any format carries one as the
// 52 bytes of a VS_FIXEDFILEINFO, little-endian, at an offset that is a
// multiple of 4 and beginning with the signature and structure version (the
// stand-in programs of tools/ define it as a constant). The first such block
// of the file is its resource.
// The size of the resource; 0 with ERROR_RESOURCE_TYPE_NOT_FOUND when the
// file has none, or the file's error.
uint32_t GetFileVersionInfoSize(const std::string& csPath);
bool GetFileVersionInfo(const std::string& csPath, uint32_t dwLen, void* pData);
// Only the root block "\\" is offered: the VS_FIXEDFILEINFO inside pBlock.
bool VerQueryValue(const void* pBlock, const std::string& csSubBlock, void** ppBuffer,
                   uint32_t* puLen);
// Rewrites the file and product version of a file's version resource (what a
// resource editor does when it stamps a build).
bool UpdateFileVersion(const std::string& csPath, uint32_t dwVersionMS, uint32_t dwVersionLS);

// An open file with the share modes the programs of this system use: a reader
// denies writers, a writer has the file to itself. Opens that conflict fail with
// ERROR_SHARING_VIOLATION and may be retried. (POSIX has no share modes: they are
// kept as advisory locks, which every program of the system takes.)
class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing file for reading and denies writers while it is open.
    // ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when its folder is missing.
    bool OpenForRead(const std::string& csPath);
    // Creates the file, or empties an existing one, for writing with exclusive
    // access. A read-only file gives ERROR_ACCESS_DENIED; a file open elsewhere
    // is left untouched.
    bool CreateForWrite(const std::string& csPath);
    bool IsOpen() const { return m_hFile != -1; }

    // Reads up to size bytes; *pRead is 0 at the end of the file.
    bool Read(void* pBuffer, size_t size, size_t* pRead);
    // Writes all bytes or fails.
    bool Write(const void* pData, size_t size);
    bool GetSize(uint64_t* pSize);
    // Forces what was written to disk.
    bool FlushToDisk();
    // Closing reports the last deferred write error.
    bool Close();

private:
    intptr_t m_hFile = -1; // the operating system's handle
};

} // namespace platform
