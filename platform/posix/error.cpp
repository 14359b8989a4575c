// The one errno translation table of the POSIX side.
#include "platform/error.h"

#include <cerrno>

namespace platform {

uint32_t ErrorFromErrno(int err) {
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EBUSY:
        return ERROR_BUSY;
    case EWOULDBLOCK:
    case ETXTBSY: // a running program's file, as a loaded module on Windows
        return ERROR_SHARING_VIOLATION;
    case EPIPE:
        return ERROR_BROKEN_PIPE;
    case EIO:
        return ERROR_GEN_FAILURE;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ECONNRESET:
        return WSAECONNRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case ENOTCONN:
        return WSAENOTCONN;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case ENOBUFS:
        return WSAENOBUFS;
    case EINPROGRESS:
        return WSAEINPROGRESS;
    case EINTR:
        return WSAEINTR;
    default:
        return ERROR_GEN_FAILURE;
    }
}

uint32_t SocketErrorFromErrno(int err) {
    switch (err) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return WSAETIMEDOUT;
    case EBADF:
        return WSAENOTSOCK;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EINVAL:
        return WSAEINVAL;
    case EFAULT:
        return WSAEFAULT;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case ENOMEM:
        return WSAENOBUFS;
    case EPIPE:
        return WSAECONNRESET;
    case ENODEV:
        return WSAENETDOWN;
    default:
        return ErrorFromErrno(err);
    }
}

uint32_t ErrorFromIppStatus(int iStatus) {
    switch (iStatus) {
    case 0x0000: // successful-ok
    case 0x0001: // successful-ok-ignored-or-substituted-attributes
    case 0x0002: // successful-ok-conflicting-attributes
        return ERROR_SUCCESS;
    case 0x0401: // client-error-forbidden
    case 0x0402: // client-error-not-authenticated
    case 0x0403: // client-error-not-authorized
    case 0x1000: // cups-authentication-canceled
        return ERROR_ACCESS_DENIED;
    case 0x0406: // client-error-not-found
    case 0x0407: // client-error-gone
        return ERROR_INVALID_PRINTER_NAME;
    case 0x0400: // client-error-bad-request
    case 0x040B: // client-error-attributes-or-values-not-supported
    case 0x040D: // client-error-conflicting-attributes
        return ERROR_INVALID_PARAMETER;
    case 0x040A: // client-error-document-format-not-supported
        return ERROR_INVALID_DATATYPE;
    case 0x0506: // server-error-not-accepting-jobs
    case 0x0507: // server-error-busy
        return ERROR_BUSY;
    case 0x0502: // server-error-service-unavailable
    case 0x0503: // server-error-version-not-supported (no answer we understand)
        return RPC_S_SERVER_UNAVAILABLE;
    case 0x0500: // server-error-internal (libcups: the connection broke)
        return RPC_S_CALL_FAILED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

bool FailSocketErrno() {
    SetLastError(SocketErrorFromErrno(errno));
    return false;
}

bool FailErrno() {
    SetLastError(ErrorFromErrno(errno));
    return false;
}

} // namespace platform
