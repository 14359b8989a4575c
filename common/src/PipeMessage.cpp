// Framing, trace form, parameter carrying and error text of the pipe messages.
#include "common/PipeMessage.h"

#include "common/Trace.h"
#include "platform/error.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {
const char kEscape = '\x10';
const char kNone[] = "<none>";
} // namespace

platform::PipeAccess PipeAccessOf(const char* pszName) {
    return std::strcmp(pszName, kGtosPipeName) == 0 ? platform::PipeAccess::EveryLocalUser
                                                    : platform::PipeAccess::Default;
}

platform::HPIPE OpenPipeClient(const char* pszName, uint32_t dwBusyWaitMs,
                               uint32_t uPreferredUser) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(dwBusyWaitMs);
    std::chrono::microseconds pause(50);
    for (;;) {
        platform::HPIPE hPipe =
            platform::OpenNamedPipe(pszName, PipeAccessOf(pszName), uPreferredUser);
        if (hPipe != platform::INVALID_PIPE_HANDLE ||
            platform::GetLastError() != platform::ERROR_PIPE_BUSY || Clock::now() >= deadline)
            return hPipe;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
}

bool WritePipeMessage(platform::HPIPE hPipe, const std::string& csText) {
    const size_t nBytes = csText.size() + 1;
    if (nBytes > kPipeBufferSize)
        return platform::Fail(platform::ERROR_INSUFFICIENT_BUFFER);
    uint32_t nWritten = 0;
    if (!platform::WritePipe(hPipe, csText.c_str(), uint32_t(nBytes), &nWritten))
        return false;
    return nWritten != 0 ? true : platform::Fail(platform::ERROR_NO_DATA);
}

bool ReadPipeMessage(platform::HPIPE hPipe, std::string* pcsText) {
    pcsText->clear();
    char buffer[kPipeBufferSize];
    uint32_t nRead = 0;
    if (!platform::ReadPipe(hPipe, buffer, sizeof buffer, &nRead))
        return false;
    if (nRead == 0)
        return platform::Fail(platform::ERROR_NO_DATA);
    *pcsText = PipeMessageText(buffer, nRead);
    return true;
}

std::string PipeMessageText(const char* pBuffer, uint32_t nRead) {
    const void* pZero = std::memchr(pBuffer, '\0', nRead);
    return std::string(pBuffer, pZero ? static_cast<const char*>(pZero) - pBuffer : nRead);
}

std::string IndentPipeText(const std::string& csText) {
    std::string csOut = "       ";
    for (char c : csText) {
        csOut += c;
        if (c == '\n')
            csOut += "       ";
    }
    return csOut;
}

std::string EncodePipeField(const std::string& csText) {
    if (csText == kNone)
        return kEscape + csText;
    std::string csOut;
    csOut.reserve(csText.size());
    for (char c : csText) {
        if (c == '\n') {
            csOut += kEscape;
            csOut += 'n';
        } else if (c == '\0') {
            csOut += kEscape;
            csOut += '0';
        } else if (c == kEscape) {
            csOut += kEscape;
            csOut += kEscape;
        } else {
            csOut += c;
        }
    }
    return csOut;
}

std::string DecodePipeField(const std::string& csLine) {
    if (csLine.find(kEscape) == std::string::npos)
        return csLine;
    std::string csOut;
    csOut.reserve(csLine.size());
    for (size_t i = 0; i < csLine.size(); ++i) {
        if (csLine[i] != kEscape || i + 1 == csLine.size()) {
            csOut += csLine[i];
            continue;
        }
        const char c = csLine[++i];
        csOut += c == 'n' ? '\n' : (c == '0' ? '\0' : c);
    }
    return csOut;
}

std::string PipeErrorHandling(const char* pszClass, const std::string& csErrMsg) {
    // Taken first: writing the trace must not change the error reported.
    const uint32_t dwError = platform::GetLastError();
    TraceDet("Entry (%s::ErrorHandling) (csErrMsg=\n%s)", pszClass, csErrMsg.c_str());
    std::string csText = platform::ErrorText(dwError);
    if (csText.size() > 256)
        csText.resize(256);
    std::string csResult = csErrMsg + " : " + csText;
    TraceDet("Exit  (%s::ErrorHandling)returning \n%s", pszClass, csResult.c_str());
    platform::SetLastError(dwError);
    return csResult;
}
