// Feeds arbitrary messages to both ends' readers of the two pipes: the
// service's command parser (every command, the 13 "Add Icon" lines, "Update
// Icons"), the GUI's reader of the service's answers and of the notifications.
// An "Add Icon" that parses must build again into a message that parses to the
// same values: the carrying of texts (DLE) must lose nothing.
#include "FuzzTrace.h"
#include "common/GtosPipeComm.h"
#include "common/IconInfo.h"
#include "common/StogPipeComm.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // A message's text as the reader gives it: up to its zero byte.
    std::string csMessage(reinterpret_cast<const char*>(pData), nSize);
    csMessage = csMessage.substr(0, csMessage.find('\0'));

    CGtosPipeComm service;
    EGtosCommand eCommand = service.ParseCmdFromGui(csMessage);
    if (eCommand != eGtosUnknown)
        service.HoldsZeroByte(eCommand);
    if (eCommand == eGtosAddIcon) {
        // Values that parsed build a message that parses to them again: a
        // shared queue's values all of them, an unshared one's all but the
        // share name and publishing, which it does not carry.
        SIconInfo expected = service.m_IconInfo;
        if (!expected.bShare) {
            expected.csShareName.clear();
            expected.bPublish = false;
        }
        std::string csRebuilt;
        if (CGtosPipeComm::BuildAddIconCmd(service.m_csUUID, service.m_IconInfo, &csRebuilt)) {
            CGtosPipeComm again;
            if (again.ParseCmdFromGui(csRebuilt) != eGtosAddIcon || !(again.m_IconInfo == expected))
                std::abort();
        }
    }

    CGtosPipeComm gui;
    gui.ParseResultFromService(csMessage);
    CStogPipeComm notifications;
    notifications.ParseData(csMessage);
    return 0;
}
