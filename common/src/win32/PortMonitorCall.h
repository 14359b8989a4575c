// The port monitor interface's one call through its generated client stub,
// with the runtime's exceptions turned into a status (PortMonitorCall.c).
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Calls monSetNewPort on hBinding (a runtime binding handle): RPC_S_OK with
// *pResult set and szPortName the monitor's, or the exception's status, when
// no server answers, the connection breaks or times out, or the answer's data
// is bad; szPortName may then hold anything.
uint32_t CallPortMonitor(void* hBinding, uint16_t szPortName[258], const uint16_t* pszAddr,
                         char cFlag, int32_t* pResult);

#ifdef __cplusplus
}
#endif
