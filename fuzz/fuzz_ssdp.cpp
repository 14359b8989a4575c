// Feeds arbitrary datagrams to CSsdp and takes every value out of the ones it accepts.
#include "FuzzTrace.h"
#include "service/Ssdp.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // Exactly sized, like the listener's scratch copy: one byte past the NUL is out of bounds.
    std::vector<char> buffer(pData, pData + nSize);
    buffer.push_back('\0');
    static CSsdp ssdp; // reused like the advert thread's object
    if (ssdp.ParseRequest(buffer.data())) {
        int32_t iPort = 0;
        ssdp.GetUuid();
        ssdp.GetPrinterModel();
        ssdp.GetPrinterMicrocodeLevel();
        ssdp.GetDescriptionUrl(&iPort);
        ssdp.GetSequenceNumber();
    }
    return 0;
}
