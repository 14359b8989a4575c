// Feeds arbitrary documents to CXml, runs both queries and dumps the tree.
#include "FuzzTrace.h"
#include "service/UpnpAnswers.h"
#include "service/Xml.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    std::vector<char> buffer(pData, pData + nSize);
    buffer.push_back('\0');
    CXml xml;
    const char* p = buffer.data();
    xml.Parse(&p);
    if (p < buffer.data() || p > buffer.data() + nSize)
        __builtin_trap(); // the reading position must stay inside the text
    int32_t iPort = 0;
    StateVariableUrl(xml.GetRoot(), &iPort);
    ReturnWord(xml.GetRoot());
    xml.Dump();
    return 0;
}
