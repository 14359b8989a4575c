// The messages on the two pipes between the GUI and the service: names, the
// framing (a text and its zero byte, one message per write, at most 4096 bytes
// per read), the trace form of a message, the carrying of parameter texts, and
// the error text both ends trace.
#pragma once

#include "platform/pipes.h"

#include <cstdint>
#include <string>

// Commands, GUI to service; the service listens.
inline constexpr char kGtosPipeName[] = "\\\\.\\pipe\\zantorvex";
// Notifications, service to GUI; the GUI listens.
inline constexpr char kStogPipeName[] = "\\\\.\\pipe\\zantorvexsg";
// Both pipes' buffers, and the most one read takes.
constexpr uint32_t kPipeBufferSize = 4096;

// How long a client keeps trying while every instance of a pipe is busy. A
// user's command waits longer than a notification: a busy listener offers its
// next instance at once, so only a machine under heavy load keeps it busy for
// long, and the command would otherwise be lost.
constexpr uint32_t kPipeBusyWaitMs = 2000;
constexpr uint32_t kCommandPipeBusyWaitMs = 10000;

// How long the service waits for the GUI's answer to a notification. The GUI
// answers at once; a GUI that hangs must not hold up the service's threads.
constexpr uint32_t kNotificationAnswerWaitMs = 5000;

// Who serves the pipe: the command pipe is the administrators' pipe, served by
// the service; the notification pipe is the GUI user's own.
platform::PipeAccess PipeAccessOf(const char* pszName);

// How long a listener's worker waits for a client's next message before it
// drops the connection: an idle client never holds the listener's resources.
// Scaled by VEX_DELAY_PERCENT (platform/clock.h).
constexpr uint32_t kPipeIdleClientMs = 10000;
// How long the GUI waits for the service's answer to a command. Creating a
// queue runs the driver package's installer, which may take minutes; a
// service that never answers must not hang the GUI.
constexpr uint32_t kCommandAnswerWaitMs = 300000;
// Opens a pipe as its client. While every instance is busy (ERROR_PIPE_BUSY)
// the open is tried again for up to dwBusyWaitMs: a listener offers its next
// instance within moments, and failing at once would lose the command or the
// notification. Any other failure returns at once (no listener: not found).
// Among users' own pipes, uPreferredUser's is tried first.
platform::HPIPE OpenPipeClient(const char* pszName, uint32_t dwBusyWaitMs = kPipeBusyWaitMs,
                               uint32_t uPreferredUser = platform::kAnyPipeUser);

// Writes the text with its zero byte as one message. False (last error set) when
// the write fails or writes nothing; ERROR_INSUFFICIENT_BUFFER, nothing written,
// when text and zero byte exceed kPipeBufferSize, which the reader could not take.
bool WritePipeMessage(platform::HPIPE hPipe, const std::string& csText);
// Reads one message of at most kPipeBufferSize bytes and gives its text up to the
// zero byte (all of it when there is none). False (last error set) when the read
// fails, the message is longer (ERROR_MORE_DATA) or holds nothing (end of the
// connection, or an empty message: ERROR_NO_DATA).
bool ReadPipeMessage(platform::HPIPE hPipe, std::string* pcsText);
// The text of a message read into a buffer: up to the zero byte or nRead bytes.
std::string PipeMessageText(const char* pBuffer, uint32_t nRead);

// A message for a trace line: every line indented by seven blanks.
std::string IndentPipeText(const std::string& csText);

// A parameter text as a line of a message. Lines are separated by line feeds and
// a message ends at its zero byte, so a text holding either would shift the
// lines after it. Such bytes are carried behind the escape byte 0x10 (DLE):
// LF as DLE 'n', NUL as DLE '0', DLE itself as DLE DLE; a text that reads
// exactly "<none>" (the word for an empty text) is sent as DLE "<none>". Any
// other text is sent unchanged, as before.
std::string EncodePipeField(const std::string& csText);
// The reverse; a DLE before any other byte stands for that byte, a DLE at the
// end for itself.
std::string DecodePipeField(const std::string& csLine);

// The message, " : ", and the system's text for the calling thread's last error
// (at most 256 characters), with the routine's detail entry and exit lines under
// pszClass ("CGtosPipeComm", "CStogPipeComm").
std::string PipeErrorHandling(const char* pszClass, const std::string& csErrMsg);
