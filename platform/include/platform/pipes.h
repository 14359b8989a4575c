// Local message pipes between the processes of one machine (named pipes).
//
// A server creates instances of a pipe by name and waits on each for one client;
// a client opens the pipe by name and is joined to a free instance at once, or
// fails at once: ERROR_FILE_NOT_FOUND when the pipe has no instance (nobody
// listens), ERROR_PIPE_BUSY when every instance has its client. There is no
// waiting for a busy pipe.
//
// Both ends work in message mode: one write is one message, one read takes one
// message. A read whose buffer is smaller than the message takes the first part
// and fails with ERROR_MORE_DATA; the next read takes the rest. Messages are at
// most PIPE_MAX_MESSAGE bytes (a longer write fails with
// ERROR_INVALID_PARAMETER). An empty message reads as 0 bytes; a read after the
// other end has gone fails with ERROR_BROKEN_PIPE, a write with ERROR_NO_DATA.
//
// A pipe name reads "\\.\pipe\NAME" (any case; NAME without slashes or
// backslashes, compared without regard to case). Handles are not passed on to
// child programs.
//
// Who may use a pipe (see PipeAccess) is settled by its folder's rights and by
// the credentials of the other end, checked on both ends: a client joins only
// an instance held by the pipe's rightful server, and a server drops a client
// the pipe does not admit and waits for the next.
//
// POSIX: a pipe of the administrators is the folder run/NAME.pipe (the root's
// owner, the administrators' group, 02750); a user's own pipe is the folder
// run/NAME@UID.pipe (0700), removed with its last server. Each instance that
// waits for a client is an AF_UNIX SOCK_SEQPACKET socket "PID.N" in it,
// listening with room for exactly one connection; a client connects to the
// first that has room. When the server takes its client it removes the
// socket's name, so the instance is no longer offered. A file "PID.srv" marks
// a process that holds instances of the pipe (busy rather than absent).
// Everything written is already in the reader's queue, so a flush returns at
// once and a close loses no message that was written before it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct PipeInstance;
using HPIPE = PipeInstance*;
constexpr HPIPE INVALID_PIPE_HANDLE = nullptr;

enum : uint32_t {
    // No cap but the process's resources.
    PIPE_UNLIMITED_INSTANCES = 255,
    PIPE_READMODE_BYTE = 0,
    PIPE_READMODE_MESSAGE = 2,
    NMPWAIT_WAIT_FOREVER = 0xFFFFFFFF,
    // The largest message one write may carry.
    PIPE_MAX_MESSAGE = 65536,
};

// Who may open the pipe.
// Default: the creating user's own pipe; its clients must be root or the
// system root's owner (or that user), and a client finds it beside other
// users' pipes of the same name.
// EveryLocalUser: the pipe of the machine's administrators (root, the root's
// owner, members of the administrators' group, platform/access.h). Only root
// or the root's owner may serve it (ERROR_ACCESS_DENIED otherwise), and its
// clients join no instance of another server.
enum class PipeAccess { Default, EveryLocalUser };

// Creates one more instance of the pipe, waiting for a client (server side).
// nMaxInstances (1..254) caps the instances this process holds of the name,
// PIPE_UNLIMITED_INSTANCES sets no cap; the buffer sizes and the time-out are
// accepted as advice. Returns
// INVALID_PIPE_HANDLE with the last error set: ERROR_INVALID_NAME,
// ERROR_INVALID_PARAMETER, ERROR_PIPE_BUSY (too many instances),
// ERROR_ACCESS_DENIED, ...
HPIPE CreateNamedPipe(const std::string& csName, uint32_t nMaxInstances, uint32_t nOutBufferSize,
                      uint32_t nInBufferSize, uint32_t nDefaultTimeOut, PipeAccess eAccess);

// Waits until a client has opened the instance. A client that came before the
// call is taken too, but the call then returns false with ERROR_PIPE_CONNECTED
// (callers count that as success). An instance that was disconnected is offered
// again first. ERROR_OPERATION_ABORTED when the wait was cancelled.
bool ConnectNamedPipe(HPIPE hPipe);

// Opens the pipe as its client (read and write, no sharing, open existing), at
// once or not at all. eAccess names the kind of pipe meant, so a client never
// takes a user's own pipe for the administrators' one. ERROR_ACCESS_DENIED
// when the caller may not reach the pipe or no instance is held by its
// rightful server. Among users' own pipes of the name, uPreferredUser's (when
// not kAnyPipeUser) is tried first, the others after it.
inline constexpr uint32_t kAnyPipeUser = UINT32_MAX;
HPIPE OpenNamedPipe(const std::string& csName, PipeAccess eAccess = PipeAccess::Default,
                    uint32_t uPreferredUser = kAnyPipeUser);

// Sets a client's read mode; only PIPE_READMODE_MESSAGE is supported
// (ERROR_INVALID_PARAMETER otherwise).
bool SetNamedPipeHandleState(HPIPE hPipe, uint32_t dwReadMode);

// Bounds the wait of every later ReadPipe on the handle: a read that finds no
// message within dwMilliseconds fails with ERROR_WAIT_TIMEOUT.
// NMPWAIT_WAIT_FOREVER (the default) waits without limit.
bool SetPipeReadTimeout(HPIPE hPipe, uint32_t dwMilliseconds);

// Writes one message of nBytes (0 allowed). *pnWritten gets the count.
bool WritePipe(HPIPE hPipe, const void* pBuffer, uint32_t nBytes, uint32_t* pnWritten);
// Reads one message, or its next part (ERROR_MORE_DATA when more remains).
bool ReadPipe(HPIPE hPipe, void* pBuffer, uint32_t nBytes, uint32_t* pnRead);
// Returns when everything written has reached the other end (at once here).
bool FlushPipe(HPIPE hPipe);
// Server side: ends the instance's connection; the client's next read fails once
// it has read what was written before. The instance may wait for a new client.
bool DisconnectNamedPipe(HPIPE hPipe);
// Closes either end and frees the handle.
bool ClosePipe(HPIPE hPipe);

// Cancels the waits of the handles it is attached to, from any thread: a
// waiting or later ConnectNamedPipe, ReadPipe or blocked WritePipe on them
// fails with ERROR_OPERATION_ABORTED. Once cancelled it stays cancelled. Lets
// a listener and its workers be stopped cleanly.
class PipeCancel {
public:
    PipeCancel();
    ~PipeCancel();
    PipeCancel(const PipeCancel&) = delete;
    PipeCancel& operator=(const PipeCancel&) = delete;

    void Cancel();
    bool IsCancelled() const;
    // Waits up to dwMilliseconds for the cancel; true when it has come.
    bool WaitForCancel(uint32_t dwMilliseconds) const;
    // The system object that turns signalled on Cancel (-1 when none could be
    // made): on POSIX a descriptor that turns readable, on Windows an event.
    intptr_t WaitHandle() const { return m_wait[0]; }

private:
    // POSIX: the two ends of a pipe; Windows: a manual-reset event, first.
    intptr_t m_wait[2] = {-1, -1};
    std::atomic<bool> m_bCancelled{false};
};

// Attaches a cancel to a handle (replacing an earlier one).
bool SetPipeCancel(HPIPE hPipe, std::shared_ptr<PipeCancel> pCancel);

} // namespace platform
