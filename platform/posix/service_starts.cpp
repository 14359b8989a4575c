// The start manager: starts services for the machine's administrators who are
// not the system root's owner, so that every service runs as the owner.
#include "internal/service_starts.h"

#include "internal/local_socket.h"
#include "internal/root_access.h"
#include "internal/unique_fd.h"
#include "platform/error.h"
#include "platform/service.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

using namespace posix;

namespace {

// A start waits for its dependencies and for the program's acknowledgement
// (30 s each at most); the client waits a little longer than both.
constexpr int kStartAnswerTimeoutMs = 75000;
// A client that connects must send its request at once.
constexpr int kRequestTimeoutMs = 5000;
constexpr size_t kMaxRequest = 65536;

bool WaitReadable(int fd, int iTimeoutMs) {
    pollfd pfd{fd, POLLIN, 0};
    int n;
    while ((n = ::poll(&pfd, 1, iTimeoutMs)) < 0 && errno == EINTR) {
    }
    return n > 0;
}

// A request: the service name and its start arguments, each ended by a zero.
std::string PackRequest(const std::string& csName, const std::vector<std::string>& args) {
    std::string csRequest = csName + '\0';
    for (const std::string& csArg : args)
        csRequest += csArg + '\0';
    return csRequest;
}

bool UnpackRequest(const char* pData, size_t nSize, std::string* pcsName,
                   std::vector<std::string>* pArgs) {
    if (nSize == 0 || pData[nSize - 1] != '\0')
        return false;
    std::vector<std::string> fields;
    for (size_t nStart = 0; nStart < nSize;) {
        const size_t nLength = std::strlen(pData + nStart);
        fields.emplace_back(pData + nStart, nLength);
        nStart += nLength + 1;
    }
    if (fields[0].empty())
        return false;
    *pcsName = fields[0];
    pArgs->assign(fields.begin() + 1, fields.end());
    return true;
}

// Reads one request from an administrator and answers it with the start's
// result (0 or the error). Anybody else, or a client that says nothing in
// time or something malformed, is dropped or refused.
void ServeOneStart(int fd) {
    if (!PeerAllowed(fd, PeerRule::Administrator) || !WaitReadable(fd, kRequestTimeoutMs))
        return;
    std::vector<char> buffer(kMaxRequest);
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_TRUNC);
    std::string csName;
    std::vector<std::string> args;
    uint32_t dwResult = ERROR_INVALID_PARAMETER;
    if (n > 0 && size_t(n) <= buffer.size() &&
        UnpackRequest(buffer.data(), size_t(n), &csName, &args))
        dwResult = StartServiceByName(csName, args) ? ERROR_SUCCESS : GetLastError();
    ::send(fd, &dwResult, sizeof dwResult, MSG_NOSIGNAL);
}

} // namespace

bool ServeServiceStarts(const std::atomic<bool>& stop, const std::function<void()>& onListening) {
    if (!IsRootOwner(::geteuid()))
        return Fail(ERROR_ACCESS_DENIED);
    const CUniqueFd runFd(OpenRootFolder("run"));
    if (!runFd.Valid())
        return false;
    // One manager at a time: a live one keeps its socket.
    const CUniqueFd liveFd(ConnectInFolder(runFd.Get(), kStartManagerName, SOCK_SEQPACKET, true));
    if (liveFd.Valid() || errno == EAGAIN)
        return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    CUniqueFd listenFd(
        ListenInFolder(runFd.Get(), kStartManagerName, SOCK_SEQPACKET, RootMode(0660), 16));
    if (!listenFd.Valid())
        return false;
    if (onListening)
        onListening();
    while (!stop.load()) {
        if (!WaitReadable(listenFd.Get(), 100))
            continue;
        const CUniqueFd fd(::accept4(listenFd.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (fd.Valid())
            ServeOneStart(fd.Get());
    }
    listenFd.Reset();
    ::unlinkat(runFd.Get(), kStartManagerName, 0);
    return true;
}

namespace posix {

bool AskManagerToStart(const std::string& csName, const std::vector<std::string>& args) {
    CUniqueFd fd;
    {
        const CUniqueFd runFd(OpenRootFolder("run"));
        if (!runFd.Valid())
            return false;
        fd.Reset(ConnectInFolder(runFd.Get(), kStartManagerName, SOCK_SEQPACKET, false));
    }
    // Only a manager of the owner's may start what runs as the owner.
    if (!fd.Valid() || !PeerAllowed(fd.Get(), PeerRule::RootOwner))
        return Fail(ERROR_ACCESS_DENIED);
    const std::string csRequest = PackRequest(csName, args);
    uint32_t dwResult = ERROR_ACCESS_DENIED;
    const bool bAnswered =
        csRequest.size() <= kMaxRequest &&
        ::send(fd.Get(), csRequest.data(), csRequest.size(), MSG_NOSIGNAL) ==
            ssize_t(csRequest.size()) &&
        WaitReadable(fd.Get(), kStartAnswerTimeoutMs) &&
        ::recv(fd.Get(), &dwResult, sizeof dwResult, 0) == ssize_t(sizeof dwResult);
    fd.Reset();
    if (!bAnswered)
        return Fail(csRequest.size() > kMaxRequest ? ERROR_INVALID_PARAMETER
                                                   : ERROR_SERVICE_REQUEST_TIMEOUT);
    return dwResult == ERROR_SUCCESS || Fail(dwResult);
}

} // namespace posix

} // namespace platform
