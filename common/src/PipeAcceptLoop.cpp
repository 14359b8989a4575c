// The pipe listeners' accept loop.
#include "common/PipeAcceptLoop.h"

#include "common/PipeMessage.h"
#include "common/Trace.h"
#include "platform/clock.h"
#include "platform/error.h"

namespace {

// The pause before a listener offers its pipe again after a failure.
constexpr uint32_t kListenerRetryPauseMs = 200;

// After a failure to offer or connect an instance (dwError): true when the
// listener should try again, after the pause (resources run short, a client
// misbehaved); false when it is cancelled or the pipe cannot be served at all.
bool ListenerMayRetry(uint32_t dwError, const platform::PipeCancel& cancel) {
    if (cancel.IsCancelled() || dwError == platform::ERROR_ACCESS_DENIED ||
        dwError == platform::ERROR_INVALID_NAME || dwError == platform::ERROR_INVALID_PARAMETER)
        return false;
    return !cancel.WaitForCancel(kListenerRetryPauseMs);
}

// A new instance of the pipe, or INVALID_PIPE_HANDLE after the error line.
platform::HPIPE OfferInstance(const SPipeListenerSpec& spec,
                              const std::shared_ptr<platform::PipeCancel>& pCancel) {
    platform::HPIPE hPipe = platform::CreateNamedPipe(
        spec.pszPipeName, platform::PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize,
        platform::NMPWAIT_WAIT_FOREVER, spec.access);
    if (hPipe == platform::INVALID_PIPE_HANDLE) {
        TraceErr("(%s)CreateNamedPipe failed : %s", spec.pszTraceName,
                 platform::ErrorText(platform::GetLastError()).c_str());
        return hPipe;
    }
    platform::SetPipeCancel(hPipe, pCancel);
    return hPipe;
}

} // namespace

void AcceptPipeConnections(const SPipeListenerSpec& spec,
                           const std::shared_ptr<platform::PipeCancel>& pCancel,
                           const std::function<void(platform::HPIPE)>& serve,
                           const std::function<void()>& onOffered) {
    platform::HPIPE hOffered = platform::INVALID_PIPE_HANDLE;
    while (!pCancel->IsCancelled()) {
        if (hOffered == platform::INVALID_PIPE_HANDLE) {
            hOffered = OfferInstance(spec, pCancel);
            if (hOffered == platform::INVALID_PIPE_HANDLE) {
                if (!ListenerMayRetry(platform::GetLastError(), *pCancel))
                    break;
                continue;
            }
            if (onOffered)
                onOffered();
        }
        if (!platform::ConnectNamedPipe(hOffered) &&
            platform::GetLastError() != platform::ERROR_PIPE_CONNECTED) {
            const uint32_t dwError = platform::GetLastError();
            platform::ClosePipe(hOffered);
            hOffered = platform::INVALID_PIPE_HANDLE;
            if (dwError == platform::ERROR_OPERATION_ABORTED && pCancel->IsCancelled())
                break;
            TraceErr("(%s)ConnectNamedPipe failed : %s", spec.pszTraceName,
                     platform::ErrorText(dwError).c_str());
            if (!ListenerMayRetry(dwError, *pCancel))
                break;
            continue;
        }
        // A failed offer of the next instance is tried again at the top.
        platform::HPIPE hConnected = hOffered;
        hOffered = OfferInstance(spec, pCancel);
        // A client that says nothing is dropped after a while.
        platform::SetPipeReadTimeout(hConnected, platform::ScaledDelay(kPipeIdleClientMs));
        serve(hConnected);
        if (hOffered != platform::INVALID_PIPE_HANDLE && onOffered)
            onOffered();
    }
    if (hOffered != platform::INVALID_PIPE_HANDLE)
        platform::ClosePipe(hOffered);
    if (pCancel->IsCancelled())
        TraceInf("(%s)Stopped", spec.pszTraceName);
}
