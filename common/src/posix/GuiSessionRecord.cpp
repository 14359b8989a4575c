// The GUI's session record on POSIX: a file of the GUI's user in the shared
// run folder, replaced atomically, trusted only when that user owns it.
#include "common/GuiSession.h"

#include "common/Trace.h"
#include "platform/root.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char kRecordName[] = "run/gui-session";
// A record holds a few short variables; anything larger is not ours.
constexpr size_t kMaxRecordSize = 64 * 1024;

bool WriteAll(int fd, const std::string& csText) {
    size_t nDone = 0;
    while (nDone < csText.size()) {
        ssize_t n = ::write(fd, csText.data() + nDone, csText.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        nDone += size_t(n);
    }
    return true;
}

} // namespace

bool RecordGuiSession() {
    CTraceScope scope("RecordGuiSession");
    SGuiSession session;
    session.uiUserId = uint32_t(::getuid());
    session.uiGroupId = uint32_t(::getgid());
    for (const std::string& csName : GuiSessionVariables()) {
        const char* pszValue = std::getenv(csName.c_str());
        // A value with a line end could not be told from the next line.
        if (pszValue && !std::strchr(pszValue, '\n'))
            session.vEnv.emplace_back(csName, pszValue);
    }
    const std::string csPath = platform::RootPath(kRecordName);
    const std::string csTemp = csPath + "." + std::to_string(::getpid());
    int fd = ::open(csTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        scope.Err("Cannot create '%s' (errno %d)", csTemp.c_str(), errno);
        scope.Result(false);
        return false;
    }
    // Readable by the service whatever the GUI's umask; writable by its user only.
    bool bOk =
        ::fchmod(fd, 0644) == 0 && WriteAll(fd, FormatGuiSession(session)) && ::fsync(fd) == 0;
    bOk = ::close(fd) == 0 && bOk;
    if (!bOk || ::rename(csTemp.c_str(), csPath.c_str()) != 0) {
        scope.Err("Cannot write '%s' (errno %d)", csPath.c_str(), errno);
        ::unlink(csTemp.c_str());
        scope.Result(false);
        return false;
    }
    scope.Result(true);
    return true;
}

bool LoadGuiSession(SGuiSession* pSession, bool bMissingIsWarning) {
    CTraceScope scope("LoadGuiSession");
    const std::string csPath = platform::RootPath(kRecordName);
    int fd = ::open(csPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (bMissingIsWarning || errno != ENOENT)
            scope.Wrn("No GUI session recorded (errno %d)", errno);
        scope.Result(false);
        return false;
    }
    struct stat st {};
    std::string csText;
    bool bOk = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWOTH) == 0 &&
               size_t(st.st_size) <= kMaxRecordSize;
    if (bOk) {
        csText.resize(size_t(st.st_size));
        bOk = ::read(fd, csText.data(), csText.size()) == ssize_t(csText.size());
    }
    ::close(fd);
    SGuiSession session;
    if (!bOk) {
        scope.Err("GUI session record is not a readable plain file");
    } else if (ParseGuiSession(csText, &session)) {
        if (session.uiUserId != uint32_t(st.st_uid)) {
            scope.Err("GUI session record of user %u is owned by user %u", session.uiUserId,
                      unsigned(st.st_uid));
            bOk = false;
        }
    } else {
        bOk = false;
    }
    if (bOk)
        *pSession = std::move(session);
    scope.Result(bOk);
    return bOk;
}
