// Win32-numbered error codes and the per-thread last error.
//
// Every platform call returns its success (bool, handle, count) and leaves the
// reason of a failure here, numbered as Windows numbers it, so that program
// logic and trace lines read the same on every platform.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum : uint32_t {
    ERROR_SUCCESS = 0,
    ERROR_INVALID_FUNCTION = 1,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_TOO_MANY_OPEN_FILES = 4,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_INVALID_DATA = 13,
    ERROR_NO_MORE_FILES = 18,
    ERROR_WRITE_FAULT = 29,
    ERROR_READ_FAULT = 30,
    ERROR_GEN_FAILURE = 31,
    ERROR_SHARING_VIOLATION = 32,
    ERROR_LOCK_VIOLATION = 33,
    ERROR_HANDLE_EOF = 38,
    ERROR_NOT_SUPPORTED = 50,
    ERROR_FILE_EXISTS = 80,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_BROKEN_PIPE = 109,
    ERROR_DISK_FULL = 112,
    ERROR_INSUFFICIENT_BUFFER = 122,
    ERROR_INVALID_NAME = 123,
    ERROR_INVALID_LEVEL = 124,
    ERROR_MOD_NOT_FOUND = 126,
    ERROR_DIR_NOT_EMPTY = 145,
    ERROR_BUSY = 170,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_BAD_PIPE = 230,
    ERROR_PIPE_BUSY = 231,
    ERROR_NO_DATA = 232,
    ERROR_PIPE_NOT_CONNECTED = 233,
    ERROR_MORE_DATA = 234,
    ERROR_WAIT_TIMEOUT = 258,
    ERROR_DIRECTORY = 267,
    ERROR_NO_MORE_ITEMS = 259,
    ERROR_PIPE_CONNECTED = 535,
    ERROR_PIPE_LISTENING = 536,
    ERROR_OPERATION_ABORTED = 995,
    ERROR_IO_PENDING = 997,
    ERROR_KEY_DELETED = 1018,
    ERROR_SERVICE_REQUEST_TIMEOUT = 1053,
    ERROR_SERVICE_NO_THREAD = 1054,
    ERROR_SERVICE_ALREADY_RUNNING = 1056,
    ERROR_INVALID_SERVICE_CONTROL = 1052,
    ERROR_DEPENDENT_SERVICES_RUNNING = 1051,
    ERROR_SERVICE_DISABLED = 1058,
    ERROR_CIRCULAR_DEPENDENCY = 1059,
    ERROR_SERVICE_DOES_NOT_EXIST = 1060,
    ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061,
    ERROR_SERVICE_NOT_ACTIVE = 1062,
    ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063,
    ERROR_SERVICE_SPECIFIC_ERROR = 1066,
    ERROR_PROCESS_ABORTED = 1067,
    ERROR_SERVICE_DEPENDENCY_FAIL = 1068,
    ERROR_SERVICE_MARKED_FOR_DELETE = 1072,
    ERROR_SERVICE_EXISTS = 1073,
    ERROR_DUPLICATE_SERVICE_NAME = 1078,
    ERROR_SERVICE_NOT_IN_EXE = 1083,
    ERROR_INVALID_SHARENAME = 1215,
    ERROR_PRIVILEGE_NOT_HELD = 1314,
    ERROR_INVALID_PRINTER_NAME = 1801,
    ERROR_INVALID_DATATYPE = 1804,
    ERROR_INVALID_ENVIRONMENT = 1805,
    ERROR_RESOURCE_TYPE_NOT_FOUND = 1813,
    NERR_DuplicateShare = 2118,
    ERROR_UNKNOWN_PRINTER_DRIVER = 1797,
    ERROR_INVALID_PRINTER_COMMAND = 1803,
    ERROR_PRINTER_ALREADY_EXISTS = 1802,
    ERROR_UNKNOWN_PORT = 1796,
    ERROR_UNKNOWN_PRINT_MONITOR = 3000,
    ERROR_PRINT_MONITOR_ALREADY_INSTALLED = 3006,
    ERROR_PRINTER_DRIVER_ALREADY_INSTALLED = 1795,
    ERROR_PRINT_MONITOR_IN_USE = 3008,
    ERROR_PRINTER_DRIVER_IN_USE = 3001,
    ERROR_SPL_NO_STARTDOC = 3003,
    RPC_S_SERVER_UNAVAILABLE = 1722,
    RPC_S_CALL_FAILED = 1726,
    RPC_S_CALL_FAILED_DNE = 1727,
    RPC_S_PROTOCOL_ERROR = 1728,
    RPC_S_NO_BINDINGS = 1718,
    RPC_S_INVALID_BINDING = 1702,
    RPC_S_CALL_TIMEOUT = 1818,
    ERROR_INVALID_PRINTER_STATE = 1906,
    ERROR_PRINTER_DELETED = 1905,
    WSAEINTR = 10004,
    WSAEBADF = 10009,
    WSAEACCES = 10013,
    WSAEFAULT = 10014,
    WSAEINVAL = 10022,
    WSAEMFILE = 10024,
    WSAEWOULDBLOCK = 10035,
    WSAEINPROGRESS = 10036,
    WSAENOTSOCK = 10038,
    WSAEMSGSIZE = 10040,
    WSAEADDRINUSE = 10048,
    WSAEADDRNOTAVAIL = 10049,
    WSAENETDOWN = 10050,
    WSAENETUNREACH = 10051,
    WSAECONNABORTED = 10053,
    WSAECONNRESET = 10054,
    WSAENOBUFS = 10055,
    WSAENOTCONN = 10057,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSAEHOSTUNREACH = 10065,
    WSAHOST_NOT_FOUND = 11001,
    WSANO_DATA = 11004,
};

// The calling thread's last error (Win32 numbering).
uint32_t GetLastError();
void SetLastError(uint32_t dwError);

// Translates an errno value into the Win32 number the callers branch on.
// One table for the whole POSIX side.
uint32_t ErrorFromErrno(int err);
// The same for a socket call, in the Windows Sockets numbering (10004 and up):
// a receive or send that ran out of its time-out is 10060.
uint32_t SocketErrorFromErrno(int err);

// The same for a status of the CUPS print scheduler (IPP status codes; a
// scheduler that cannot be reached is RPC_S_SERVER_UNAVAILABLE, as a stopped
// spooler is).
uint32_t ErrorFromIppStatus(int iStatus);

// Sets the last error from errno and returns false, for `return FailErrno();`.
bool FailErrno();
// Sets the last error from errno as a socket error and returns false.
bool FailSocketErrno();
// Sets the last error and returns false.
bool Fail(uint32_t dwError);

// The system's message text for an error number, without a trailing line end.
// Unknown numbers give an empty text.
std::string ErrorText(uint32_t dwError);

} // namespace platform
