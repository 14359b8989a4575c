// Owners of descriptors (POSIX side only): CUniqueFd (move-only) closes its
// descriptor once, when it goes or is reset; CDirStream lists a folder open by
// descriptor without taking that descriptor over.
//
// Closing keeps errno, so a failure read after an early return stays the
// failing call's. A child between fork and exec never runs these destructors:
// it ends with _exit.
#pragma once

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace platform::posix {

class CUniqueFd {
public:
    CUniqueFd() = default;
    explicit CUniqueFd(int fd) : m_fd(fd) {}
    ~CUniqueFd() { Reset(); }
    CUniqueFd(CUniqueFd&& other) noexcept : m_fd(other.Release()) {}
    CUniqueFd& operator=(CUniqueFd&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Hands the descriptor over; the owner is empty afterwards.
    int Release() { return std::exchange(m_fd, -1); }
    // Closes the descriptor held, if any, and holds fd instead.
    void Reset(int fd = -1) {
        if (m_fd >= 0) {
            const int savedErrno = errno;
            ::close(m_fd);
            errno = savedErrno;
        }
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

// The entries of a folder open as folderFd, read through a duplicate so that
// the folder's descriptor stays its owner's. Empty (Next gives null at once)
// when the folder cannot be listed.
class CDirStream {
public:
    explicit CDirStream(int folderFd) {
        int dupFd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
        m_pDir = dupFd >= 0 ? ::fdopendir(dupFd) : nullptr;
        if (!m_pDir && dupFd >= 0) {
            const int savedErrno = errno;
            ::close(dupFd);
            errno = savedErrno;
        }
    }
    ~CDirStream() {
        if (m_pDir)
            ::closedir(m_pDir);
    }
    CDirStream(const CDirStream&) = delete;
    CDirStream& operator=(const CDirStream&) = delete;

    dirent* Next() { return m_pDir ? ::readdir(m_pDir) : nullptr; }

private:
    DIR* m_pDir = nullptr;
};

} // namespace platform::posix
