// The per-thread last error and the one errno translation table of the POSIX side.
#include "platform/error.h"
#include "platform/internet.h"

#include <cerrno>
#include <unordered_map>

namespace platform {

namespace {
thread_local uint32_t t_lastError = ERROR_SUCCESS;
}

uint32_t GetLastError() {
    return t_lastError;
}
void SetLastError(uint32_t dwError) {
    t_lastError = dwError;
}

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

bool Fail(uint32_t dwError) {
    SetLastError(dwError);
    return false;
}

std::string ErrorText(uint32_t dwError) {
    static const std::unordered_map<uint32_t, const char*> texts = {
        {ERROR_SUCCESS, "The operation completed successfully."},
        {ERROR_INVALID_FUNCTION, "Incorrect function."},
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
        {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
        {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file."},
        {ERROR_ACCESS_DENIED, "Access is denied."},
        {ERROR_INVALID_HANDLE, "The handle is invalid."},
        {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
        {ERROR_INVALID_DATA, "The data is invalid."},
        {ERROR_NO_MORE_FILES, "There are no more files."},
        {ERROR_GEN_FAILURE, "A device attached to the system is not functioning."},
        {ERROR_SHARING_VIOLATION,
         "The process cannot access the file because it is being used by another process."},
        {ERROR_NOT_SUPPORTED, "The request is not supported."},
        {ERROR_FILE_EXISTS, "The file exists."},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
        {ERROR_BROKEN_PIPE, "The pipe has been ended."},
        {ERROR_DISK_FULL, "There is not enough space on the disk."},
        {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
        {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect."},
        {ERROR_INVALID_LEVEL, "The system call level is not correct."},
        {ERROR_MOD_NOT_FOUND, "The specified module could not be found."},
        {ERROR_DIR_NOT_EMPTY, "The directory is not empty."},
        {ERROR_BUSY, "The requested resource is in use."},
        {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
        {ERROR_BAD_PIPE, "The pipe state is invalid."},
        {ERROR_PIPE_BUSY, "All pipe instances are busy."},
        {ERROR_NO_DATA, "The pipe is being closed."},
        {ERROR_PIPE_NOT_CONNECTED, "No process is on the other end of the pipe."},
        {ERROR_MORE_DATA, "More data is available."},
        {ERROR_WAIT_TIMEOUT, "The wait operation timed out."},
        {ERROR_DIRECTORY, "The directory name is invalid."},
        {ERROR_NO_MORE_ITEMS, "No more data is available."},
        {ERROR_PIPE_CONNECTED, "There is a process on other end of the pipe."},
        {ERROR_OPERATION_ABORTED,
         "The I/O operation has been aborted because of either a thread exit or an application "
         "request."},
        {ERROR_KEY_DELETED, "Illegal operation attempted on a registry key that has been marked "
                            "for deletion."},
        {ERROR_DEPENDENT_SERVICES_RUNNING,
         "A stop control has been sent to a service that other running services are dependent "
         "on."},
        {ERROR_INVALID_SERVICE_CONTROL, "The requested control is not valid for this service."},
        {ERROR_SERVICE_REQUEST_TIMEOUT,
         "The service did not respond to the start or control request in a timely fashion."},
        {ERROR_SERVICE_NO_THREAD, "A thread could not be created for the service."},
        {ERROR_SERVICE_ALREADY_RUNNING, "An instance of the service is already running."},
        {ERROR_SERVICE_DISABLED,
         "The service cannot be started, either because it is disabled or because it has no "
         "enabled devices associated with it."},
        {ERROR_SERVICE_DOES_NOT_EXIST, "The specified service does not exist as an installed "
                                       "service."},
        {ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
         "The service cannot accept control messages at this time."},
        {ERROR_SERVICE_NOT_ACTIVE, "The service has not been started."},
        {ERROR_FAILED_SERVICE_CONTROLLER_CONNECT,
         "The service process could not connect to the service controller."},
        {ERROR_SERVICE_SPECIFIC_ERROR, "The service has returned a service-specific error code."},
        {ERROR_PROCESS_ABORTED, "The process terminated unexpectedly."},
        {ERROR_CIRCULAR_DEPENDENCY, "Circular service dependency was specified."},
        {ERROR_DUPLICATE_SERVICE_NAME,
         "The name is already in use as either a service name or a service display name."},
        {ERROR_SERVICE_NOT_IN_EXE, "The executable program that this service is configured to "
                                   "run in does not implement the service."},
        {ERROR_SERVICE_DEPENDENCY_FAIL, "The dependency service or group failed to start."},
        {ERROR_SERVICE_MARKED_FOR_DELETE, "The specified service has been marked for deletion."},
        {ERROR_SERVICE_EXISTS, "The specified service already exists."},
        {ERROR_UNKNOWN_PORT, "The specified port is unknown."},
        {ERROR_UNKNOWN_PRINTER_DRIVER, "The printer driver is unknown."},
        {ERROR_PRINTER_DRIVER_ALREADY_INSTALLED, "The specified printer driver is already "
                                                 "installed."},
        {ERROR_INVALID_PRINTER_NAME, "The printer name is invalid."},
        {ERROR_INVALID_SHARENAME, "The format of the specified share name is invalid."},
        {ERROR_INVALID_ENVIRONMENT, "The environment specified is invalid."},
        {NERR_DuplicateShare, "The share name is already in use on this server."},
        {ERROR_PRINTER_ALREADY_EXISTS, "The printer already exists."},
        {ERROR_INVALID_PRINTER_COMMAND, "The printer command is invalid."},
        {ERROR_PRINTER_DELETED, "The specified printer has been deleted."},
        {ERROR_INVALID_PRINTER_STATE, "The state of the printer is invalid."},
        {RPC_S_SERVER_UNAVAILABLE, "The RPC server is unavailable."},
        {RPC_S_CALL_FAILED, "The remote procedure call failed."},
        {ERROR_INVALID_DATATYPE, "The specified datatype is invalid."},
        {RPC_S_CALL_FAILED_DNE, "The remote procedure call failed and did not execute."},
        {RPC_S_PROTOCOL_ERROR, "A remote procedure call (RPC) protocol error occurred."},
        {RPC_S_NO_BINDINGS, "No bindings were created."},
        {RPC_S_INVALID_BINDING, "The binding handle is invalid."},
        {RPC_S_CALL_TIMEOUT, "The remote procedure call exceeded the time allowed."},
        {ERROR_RESOURCE_TYPE_NOT_FOUND,
         "The specified resource type cannot be found in the image file."},
        {ERROR_PRIVILEGE_NOT_HELD, "A required privilege is not held by the client."},
        {ERROR_UNKNOWN_PRINT_MONITOR, "The specified print monitor is unknown."},
        {ERROR_PRINTER_DRIVER_IN_USE, "The specified printer driver is currently in use."},
        {ERROR_PRINT_MONITOR_ALREADY_INSTALLED, "The specified print monitor has already been "
                                                "installed."},
        {ERROR_PRINT_MONITOR_IN_USE, "The specified print monitor is currently in use."},
        {WSAEINTR, "A blocking operation was interrupted by a call to WSACancelBlockingCall."},
        {WSAEACCES, "An attempt was made to access a socket in a way forbidden by its access "
                    "permissions."},
        {WSAEINVAL, "An invalid argument was supplied."},
        {WSAEWOULDBLOCK, "A non-blocking socket operation could not be completed immediately."},
        {WSAENOTSOCK, "An operation was attempted on something that is not a socket."},
        {WSAEMSGSIZE, "A message sent on a datagram socket was larger than the internal message "
                      "buffer or some other network limit, or the buffer used to receive a "
                      "datagram into was smaller than the datagram itself."},
        {WSAEADDRINUSE, "Only one usage of each socket address (protocol/network address/port) "
                        "is normally permitted."},
        {WSAEADDRNOTAVAIL, "The requested address is not valid in its context."},
        {WSAENETDOWN, "A socket operation encountered a dead network."},
        {WSAENETUNREACH, "A socket operation was attempted to an unreachable network."},
        {WSAECONNABORTED, "An established connection was aborted by the software in your host "
                          "machine."},
        {WSAECONNRESET, "An existing connection was forcibly closed by the remote host."},
        {WSAENOTCONN, "A request to send or receive data was disallowed because the socket is "
                      "not connected and (when sending on a datagram socket using a sendto call) "
                      "no address was supplied."},
        {WSAETIMEDOUT, "A connection attempt failed because the connected party did not properly "
                       "respond after a period of time, or established connection failed because "
                       "connected host has failed to respond."},
        {WSAECONNREFUSED, "No connection could be made because the target machine actively "
                          "refused it."},
        {WSAEHOSTUNREACH, "A socket operation was attempted to an unreachable host."},
        {WSAHOST_NOT_FOUND, "No such host is known."},
        {ERROR_INTERNET_TIMEOUT, "The operation timed out"},
        {ERROR_INTERNET_EXTENDED_ERROR, "An extended error was returned from the server."},
        {ERROR_INTERNET_INTERNAL_ERROR, "An internal error has occurred."},
        {ERROR_INTERNET_INVALID_URL, "The URL is invalid."},
        {ERROR_INTERNET_UNRECOGNIZED_SCHEME, "The URL does not use a recognized protocol"},
        {ERROR_INTERNET_NAME_NOT_RESOLVED, "The server name or address could not be resolved"},
        {ERROR_INTERNET_OPERATION_CANCELLED, "The operation was canceled"},
        {ERROR_INTERNET_INCORRECT_HANDLE_TYPE,
         "The type of handle supplied is incorrect for this operation"},
        {ERROR_INTERNET_CANNOT_CONNECT, "A connection with the server could not be established"},
        {ERROR_INTERNET_CONNECTION_ABORTED, "The connection with the server was terminated "
                                            "abnormally"},
        {ERROR_INTERNET_SECURE_FAILURE, "A security error occurred"},
        {ERROR_HTTP_HEADER_NOT_FOUND, "The requested header could not be located"},
    };
    auto it = texts.find(dwError);
    return it == texts.end() ? std::string() : std::string(it->second);
}

} // namespace platform
