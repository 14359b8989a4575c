// Files on Windows: the system's own attributes, share modes and renames.
#include "platform/files.h"
#include "platform/error.h"

#include "windows_api.h"

#include <fcntl.h>
#include <io.h>

namespace platform {

namespace {

constexpr uint32_t kKnownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;

// The attributes this system knows (compression, indexing and the like are
// the machine's business).
uint32_t KnownAttributes(DWORD dwAttributes) {
    const uint32_t attrs = dwAttributes & kKnownAttributes;
    return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

HANDLE Handle(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

bool IsReadOnlyFile(const std::string& csPath) {
    const DWORD dw = ::GetFileAttributesA(csPath.c_str());
    return dw != INVALID_FILE_ATTRIBUTES && !(dw & FILE_ATTRIBUTE_DIRECTORY) &&
           (dw & FILE_ATTRIBUTE_READONLY);
}

// A reader denies writers; a writer has the file to itself.
HANDLE OpenShared(const std::string& csPath, bool bWrite) {
    return ::CreateFileA(csPath.c_str(), bWrite ? GENERIC_WRITE : GENERIC_READ,
                         bWrite ? 0 : FILE_SHARE_READ, nullptr,
                         bWrite ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE h, const void* pData, size_t size) {
    const char* p = static_cast<const char*>(pData);
    while (size > 0) {
        DWORD dwWritten = 0;
        const DWORD dwChunk = DWORD(size < (1u << 30) ? size : (1u << 30));
        if (!::WriteFile(h, p, dwChunk, &dwWritten, nullptr))
            return Fail(::GetLastError());
        p += dwWritten;
        size -= dwWritten;
    }
    return true;
}

bool CopyContents(HANDLE hIn, HANDLE hOut) {
    char buffer[65536];
    for (;;) {
        DWORD dwRead = 0;
        if (!::ReadFile(hIn, buffer, sizeof buffer, &dwRead, nullptr))
            return Fail(::GetLastError());
        if (dwRead == 0)
            return true;
        if (!WriteAll(hOut, buffer, dwRead))
            return false;
    }
}

} // namespace

bool FindFiles(const std::string& csPattern, std::vector<FindData>* pResults) {
    pResults->clear();
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA(csPattern.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE) {
        const DWORD dwError = ::GetLastError();
        return Fail(dwError == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : dwError);
    }
    do {
        const std::string csName = data.cFileName;
        if (csName == "." || csName == "..")
            continue;
        pResults->push_back({csName, KnownAttributes(data.dwFileAttributes),
                             uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow});
    } while (::FindNextFileA(hFind, &data));
    ::FindClose(hFind);
    return !pResults->empty() || Fail(ERROR_FILE_NOT_FOUND);
}

bool FileExists(const std::string& csPath) {
    const DWORD dw = ::GetFileAttributesA(csPath.c_str());
    return dw != INVALID_FILE_ATTRIBUTES && !(dw & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& csPath) {
    const DWORD dw = ::GetFileAttributesA(csPath.c_str());
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t GetFileAttributes(const std::string& csPath) {
    const DWORD dw = ::GetFileAttributesA(csPath.c_str());
    if (dw == INVALID_FILE_ATTRIBUTES) {
        Fail(::GetLastError());
        return INVALID_FILE_ATTRIBUTES;
    }
    return KnownAttributes(dw);
}

bool SetFileAttributes(const std::string& csPath, uint32_t dwAttributes) {
    const DWORD dw =
        dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    return ::SetFileAttributesA(csPath.c_str(), dw ? dw : FILE_ATTRIBUTE_NORMAL) ||
           Fail(::GetLastError());
}

// The read-only checks below are Windows' own; they are made here too since
// wine run by root writes over a read-only file.

bool CopyFile(const std::string& csFrom, const std::string& csTo, bool bFailIfExists) {
    if (!bFailIfExists && IsReadOnlyFile(csTo))
        return Fail(ERROR_ACCESS_DENIED);
    return ::CopyFileA(csFrom.c_str(), csTo.c_str(), bFailIfExists) || Fail(::GetLastError());
}

bool MoveFile(const std::string& csFrom, const std::string& csTo, bool bReplaceExisting) {
    if (bReplaceExisting && IsReadOnlyFile(csTo))
        return Fail(ERROR_ACCESS_DENIED);
    return ::MoveFileExA(csFrom.c_str(), csTo.c_str(),
                         bReplaceExisting ? MOVEFILE_REPLACE_EXISTING : 0) ||
           Fail(::GetLastError());
}

bool DeleteFile(const std::string& csPath) {
    return ::DeleteFileA(csPath.c_str()) || Fail(::GetLastError());
}

bool CreateDirectory(const std::string& csPath) {
    return ::CreateDirectoryA(csPath.c_str(), nullptr) || Fail(::GetLastError());
}

bool ReplaceFileWithCopy(const std::string& csFrom, const std::string& csTo) {
    if (IsReadOnlyFile(csTo))
        return Fail(ERROR_ACCESS_DENIED);
    HANDLE hIn = OpenShared(csFrom, false);
    if (hIn == INVALID_HANDLE_VALUE)
        return Fail(::GetLastError());
    // One temporary name per target, reused after a crash; its exclusive open
    // keeps two writers apart.
    const std::string csTemp = csTo + ".tmp";
    HANDLE hOut = OpenShared(csTemp, true);
    if (hOut == INVALID_HANDLE_VALUE) {
        const DWORD dwError = ::GetLastError();
        ::CloseHandle(hIn);
        return Fail(dwError);
    }
    bool ok = (::SetEndOfFile(hOut) || Fail(::GetLastError())) && CopyContents(hIn, hOut) &&
              (::FlushFileBuffers(hOut) || Fail(::GetLastError()));
    ::CloseHandle(hIn);
    ::CloseHandle(hOut);
    // A writer that opened the copy since has it to itself: the rename then
    // fails with a sharing violation and the target stays as it was.
    if (ok)
        ok = ::MoveFileExA(csTemp.c_str(), csTo.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
             Fail(::GetLastError());
    if (!ok) {
        const uint32_t dwError = GetLastError();
        ::DeleteFileA(csTemp.c_str());
        SetLastError(dwError);
    }
    return ok;
}

std::FILE* CreateFileStream(const std::string& csPath) {
    // The link itself is opened, not what it points at, and then refused.
    HANDLE h = ::CreateFileA(csPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Fail(::GetLastError());
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !::SetEndOfFile(h)) {
        const DWORD dwError = ::GetLastError();
        ::CloseHandle(h);
        Fail((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ERROR_ACCESS_DENIED
                                                                    : dwError);
        return nullptr;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    std::FILE* pFile = fd >= 0 ? ::_fdopen(fd, "wb") : nullptr;
    if (!pFile) {
        if (fd >= 0)
            ::_close(fd);
        else
            ::CloseHandle(h);
        Fail(ERROR_TOO_MANY_OPEN_FILES);
    }
    return pFile;
}

File::~File() {
    Close();
}

bool File::OpenForRead(const std::string& csPath) {
    Close();
    HANDLE h = OpenShared(csPath, false);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(::GetLastError());
    m_hFile = reinterpret_cast<intptr_t>(h);
    return true;
}

bool File::CreateForWrite(const std::string& csPath) {
    Close();
    if (IsReadOnlyFile(csPath))
        return Fail(ERROR_ACCESS_DENIED);
    // Emptied only once opened: a file that another handle has open stays.
    HANDLE h = OpenShared(csPath, true);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(::GetLastError());
    if (!::SetEndOfFile(h)) {
        const DWORD dwError = ::GetLastError();
        ::CloseHandle(h);
        return Fail(dwError);
    }
    m_hFile = reinterpret_cast<intptr_t>(h);
    return true;
}

bool File::Read(void* pBuffer, size_t size, size_t* pRead) {
    *pRead = 0;
    if (!IsOpen())
        return Fail(ERROR_INVALID_HANDLE);
    DWORD dwRead = 0;
    const DWORD dwWanted = DWORD(size < (1u << 30) ? size : (1u << 30));
    if (!::ReadFile(Handle(m_hFile), pBuffer, dwWanted, &dwRead, nullptr))
        return Fail(::GetLastError());
    *pRead = dwRead;
    return true;
}

bool File::Write(const void* pData, size_t size) {
    if (!IsOpen())
        return Fail(ERROR_INVALID_HANDLE);
    return WriteAll(Handle(m_hFile), pData, size);
}

bool File::GetSize(uint64_t* pSize) {
    if (!IsOpen())
        return Fail(ERROR_INVALID_HANDLE);
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(Handle(m_hFile), &size))
        return Fail(::GetLastError());
    *pSize = uint64_t(size.QuadPart);
    return true;
}

bool File::FlushToDisk() {
    if (!IsOpen())
        return Fail(ERROR_INVALID_HANDLE);
    return ::FlushFileBuffers(Handle(m_hFile)) || Fail(::GetLastError());
}

bool File::Close() {
    if (!IsOpen())
        return true;
    HANDLE h = Handle(m_hFile);
    m_hFile = -1;
    return ::CloseHandle(h) || Fail(::GetLastError());
}

} // namespace platform
