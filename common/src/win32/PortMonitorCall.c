// The port monitor interface's one call through its generated client stub. A
// failed remote call reaches the caller as a structured exception, which only
// C with __try/__except can catch here: this file is compiled by clang.
#include "PortMonitorCall.h"

#include "PortMonitor.h"

static int TakeExceptionCode(EXCEPTION_POINTERS* pException, uint32_t* pStatus) {
    *pStatus = pException->ExceptionRecord->ExceptionCode;
    return EXCEPTION_EXECUTE_HANDLER;
}

uint32_t CallPortMonitor(void* hBinding, uint16_t szPortName[258], const uint16_t* pszAddr,
                         char cFlag, int32_t* pResult) {
    uint32_t status = RPC_S_OK;
    // The interface's implicit handle: one call at a time uses it (the
    // service creates one port at a time).
    hPortMonitorBinding = hBinding;
    RpcTryExcept {
        *pResult = Call_monSetNewPort((wchar_t*)szPortName, (wchar_t*)pszAddr, cFlag);
    }
    RpcExcept(TakeExceptionCode(GetExceptionInformation(), &status)) {}
    RpcEndExcept;
    return status;
}
