// The port monitor interface: its identity and the process's binding.
#include "common/PortMonitorRpc.h"

using namespace platform;

const RpcInterface kPortMonitorInterface{"8bf15410-a8ed-11d4-8af1-0001021ee15d", 1, 0};
RPC_BINDING_HANDLE g_hPortMonitorBinding = nullptr;
