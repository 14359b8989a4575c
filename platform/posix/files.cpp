// Files on POSIX. Read-only is the owner's write bit; hidden and archive have no
// POSIX counterpart and are kept in "files.db" in the system root, keyed by the
// file's absolute path.
#include "platform/files.h"

#include "internal/sqlite_store.h"
#include "internal/unique_fd.h"
#include "platform/error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

using posix::CUniqueFd;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS file_attributes(path TEXT PRIMARY KEY, flags INTEGER NOT NULL);";

posix::SqliteStore& Store() {
    static posix::SqliteStore store("files.db", kSchema);
    return store;
}

constexpr uint32_t kStoredFlags = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd))
        return path;
    return std::string(cwd) + "/" + path;
}

uint32_t StoredFlags(const std::string& path) {
    posix::StatementScope stmt(Store().Prepare("SELECT flags FROM file_attributes WHERE path=?"));
    if (!stmt)
        return 0;
    std::string abs = AbsolutePath(path);
    sqlite3_bind_text(stmt.get(), 1, abs.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(stmt.get()) == SQLITE_ROW ? uint32_t(sqlite3_column_int64(stmt.get(), 0))
                                                  : 0;
}

void StoreFlags(const std::string& path, uint32_t flags) {
    std::string abs = AbsolutePath(path);
    posix::StatementScope stmt(
        Store().Prepare(flags ? "INSERT OR REPLACE INTO file_attributes(path, flags) VALUES(?, ?)"
                              : "DELETE FROM file_attributes WHERE path=?"));
    if (!stmt)
        return;
    sqlite3_bind_text(stmt.get(), 1, abs.c_str(), -1, SQLITE_TRANSIENT);
    if (flags)
        sqlite3_bind_int64(stmt.get(), 2, flags);
    sqlite3_step(stmt.get());
}

uint32_t AttributesOf(const std::string& path, const struct stat& st) {
    uint32_t attrs = 0;
    if (S_ISDIR(st.st_mode))
        attrs |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR))
        attrs |= FILE_ATTRIBUTE_READONLY;
    if (!S_ISDIR(st.st_mode))
        attrs |= StoredFlags(path);
    return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

bool IsReadOnly(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Windows tells a missing file from a missing folder; open() says ENOENT for both.
bool FailOpen(const std::string& path) {
    if (errno == ENOENT && !DirectoryExists(FolderOf(path)))
        return Fail(ERROR_PATH_NOT_FOUND);
    return FailErrno();
}

// Takes the advisory lock that stands for a share mode. A conflict is
// EWOULDBLOCK, which the error table turns into ERROR_SHARING_VIOLATION.
bool LockShare(int fd, bool bExclusive) {
    while (::flock(fd, (bExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t w = ::write(fd, p, size);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        size -= size_t(w);
    }
    return true;
}

// Copies the rest of in to out; false with the last error set on failure.
bool CopyContents(int in, int out) {
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FailErrno();
        }
        if (!WriteAll(out, buffer, size_t(n)))
            return FailErrno();
    }
}

// Makes a rename in the folder survive a crash.
void SyncFolder(const std::string& path) {
    CUniqueFd fd(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid())
        ::fsync(fd.Get());
}

} // namespace

bool FindFiles(const std::string& csPattern, std::vector<FindData>* pResults) {
    pResults->clear();
    size_t slash = csPattern.rfind('/');
    std::string folder = FolderOf(csPattern);
    std::string pattern = slash == std::string::npos ? csPattern : csPattern.substr(slash + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return Fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                        : ErrorFromErrno(errno));
    while (struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_NOESCAPE) != 0)
            continue;
        std::string full = folder == "/" ? "/" + name : folder + "/" + name;
        struct stat st;
        if (::stat(full.c_str(), &st) != 0)
            continue;
        pResults->push_back({name, AttributesOf(full, st), uint64_t(st.st_size)});
    }
    ::closedir(dir);
    if (pResults->empty())
        return Fail(ERROR_FILE_NOT_FOUND);
    return true;
}

bool FileExists(const std::string& csPath) {
    struct stat st;
    return ::stat(csPath.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& csPath) {
    struct stat st;
    return ::stat(csPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

uint32_t GetFileAttributes(const std::string& csPath) {
    struct stat st;
    if (::stat(csPath.c_str(), &st) != 0) {
        FailErrno();
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(csPath, st);
}

bool SetFileAttributes(const std::string& csPath, uint32_t dwAttributes) {
    struct stat st;
    if (::stat(csPath.c_str(), &st) != 0)
        return FailErrno();
    mode_t mode = st.st_mode & 07777;
    mode = (dwAttributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH))
                                                    : (mode | S_IWUSR);
    if (::chmod(csPath.c_str(), mode) != 0)
        return FailErrno();
    if (!S_ISDIR(st.st_mode))
        StoreFlags(csPath, dwAttributes & kStoredFlags);
    return true;
}

bool CopyFile(const std::string& csFrom, const std::string& csTo, bool bFailIfExists) {
    CUniqueFd in(::open(csFrom.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.Valid())
        return FailErrno();
    if (FileExists(csTo)) {
        if (bFailIfExists)
            return Fail(ERROR_FILE_EXISTS);
        if (IsReadOnly(csTo))
            return Fail(ERROR_ACCESS_DENIED);
    }
    // A program stays a program: the execute bits travel with the copy.
    struct stat st;
    mode_t mode = ::fstat(in.Get(), &st) == 0 ? (0644 | (st.st_mode & 0111)) : 0644;
    CUniqueFd out(::open(csTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
    if (!out.Valid())
        return FailErrno();
    ::fchmod(out.Get(), mode);
    bool ok = CopyContents(in.Get(), out.Get());
    in.Reset();
    // A write that fails late shows at the close.
    if (::close(out.Release()) != 0 && ok)
        ok = FailErrno();
    if (ok)
        StoreFlags(csTo, StoredFlags(csFrom));
    return ok;
}

bool MoveFile(const std::string& csFrom, const std::string& csTo, bool bReplaceExisting) {
    if (FileExists(csTo)) {
        if (!bReplaceExisting)
            return Fail(ERROR_ALREADY_EXISTS);
        if (IsReadOnly(csTo))
            return Fail(ERROR_ACCESS_DENIED);
    }
    if (::access(csFrom.c_str(), F_OK) != 0)
        return FailErrno();
    uint32_t flags = StoredFlags(csFrom);
    if (::rename(csFrom.c_str(), csTo.c_str()) != 0)
        return FailErrno();
    StoreFlags(csFrom, 0);
    StoreFlags(csTo, flags);
    return true;
}

bool DeleteFile(const std::string& csPath) {
    if (DirectoryExists(csPath))
        return Fail(ERROR_ACCESS_DENIED);
    if (IsReadOnly(csPath))
        return Fail(ERROR_ACCESS_DENIED);
    if (::unlink(csPath.c_str()) != 0)
        return FailErrno();
    StoreFlags(csPath, 0);
    return true;
}

bool CreateDirectory(const std::string& csPath) {
    if (::mkdir(csPath.c_str(), 0755) != 0)
        return FailErrno();
    return true;
}

bool ReplaceFileWithCopy(const std::string& csFrom, const std::string& csTo) {
    if (IsReadOnly(csTo))
        return Fail(ERROR_ACCESS_DENIED);
    CUniqueFd in(::open(csFrom.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.Valid())
        return FailOpen(csFrom);
    if (!LockShare(in.Get(), false))
        return FailErrno();
    // One temporary name per target, so that a copy left by a writer that died
    // is reused rather than piling up; its lock keeps two writers apart.
    std::string temp = csTo + ".tmp";
    CUniqueFd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    if (!out.Valid())
        return FailOpen(temp);
    struct stat held, named;
    if (!LockShare(out.Get(), true))
        return FailErrno();
    // Another writer may have renamed this file over the target between our
    // open and our lock: then it is the target now and must not be touched.
    if (::fstat(out.Get(), &held) != 0 || ::stat(temp.c_str(), &named) != 0 ||
        held.st_ino != named.st_ino || held.st_dev != named.st_dev)
        return Fail(ERROR_SHARING_VIOLATION);
    if (::ftruncate(out.Get(), 0) != 0)
        return FailErrno();
    bool ok = CopyContents(in.Get(), out.Get());
    in.Reset();
    if (ok && (::fchmod(out.Get(), 0644) != 0 || ::fsync(out.Get()) != 0))
        ok = FailErrno();
    // Renamed while still locked, so no other writer truncates it meanwhile.
    if (ok && ::rename(temp.c_str(), csTo.c_str()) != 0)
        ok = FailErrno();
    if (!ok)
        ::unlink(temp.c_str());
    out.Reset();
    if (!ok)
        return false;
    SyncFolder(csTo);
    StoreFlags(csTo, StoredFlags(csFrom));
    return true;
}

std::FILE* CreateFileStream(const std::string& csPath) {
    CUniqueFd fd(
        ::open(csPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0660));
    if (!fd.Valid()) {
        FailOpen(csPath);
        return nullptr;
    }
    std::FILE* pFile = ::fdopen(fd.Get(), "w");
    if (!pFile) {
        FailErrno();
        return nullptr;
    }
    fd.Release(); // the stream owns it now
    return pFile;
}

File::~File() {
    Close();
}

bool File::OpenForRead(const std::string& csPath) {
    Close();
    CUniqueFd fd(::open(csPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid())
        return FailOpen(csPath);
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0)
        return FailErrno();
    if (S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (!LockShare(fd.Get(), false))
        return FailErrno();
    m_hFile = fd.Release();
    return true;
}

bool File::CreateForWrite(const std::string& csPath) {
    Close();
    if (IsReadOnly(csPath))
        return Fail(ERROR_ACCESS_DENIED);
    // Not O_TRUNC: a file that another handle has open must stay as it is.
    CUniqueFd fd(::open(csPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.Valid())
        return FailOpen(csPath);
    if (!LockShare(fd.Get(), true) || ::ftruncate(fd.Get(), 0) != 0)
        return FailErrno();
    m_hFile = fd.Release();
    return true;
}

bool File::Read(void* pBuffer, size_t size, size_t* pRead) {
    *pRead = 0;
    if (m_hFile < 0)
        return Fail(ERROR_INVALID_HANDLE);
    for (;;) {
        ssize_t n = ::read(int(m_hFile), pBuffer, size);
        if (n >= 0) {
            *pRead = size_t(n);
            return true;
        }
        if (errno != EINTR)
            return FailErrno();
    }
}

bool File::Write(const void* pData, size_t size) {
    if (m_hFile < 0)
        return Fail(ERROR_INVALID_HANDLE);
    return WriteAll(int(m_hFile), pData, size) || FailErrno();
}

bool File::GetSize(uint64_t* pSize) {
    struct stat st;
    if (m_hFile < 0)
        return Fail(ERROR_INVALID_HANDLE);
    if (::fstat(int(m_hFile), &st) != 0)
        return FailErrno();
    *pSize = uint64_t(st.st_size);
    return true;
}

bool File::FlushToDisk() {
    if (m_hFile < 0)
        return Fail(ERROR_INVALID_HANDLE);
    return ::fsync(int(m_hFile)) == 0 || FailErrno();
}

bool File::Close() {
    if (m_hFile < 0)
        return true;
    int fd = int(m_hFile);
    m_hFile = -1;
    return ::close(fd) == 0 || FailErrno();
}

} // namespace platform
