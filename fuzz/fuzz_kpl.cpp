// Feeds arbitrary bytes to the list file's reader: a record count, then records.
// Every record read must store and read back to an equal record, and both text
// forms must be buildable.
#include "FuzzTrace.h"
#include "common/Archive.h"
#include "common/Printer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    CArchive ar(std::string_view(reinterpret_cast<const char*>(pData), nSize));
    int32_t iCount = 0;
    if (!ar.Read(iCount))
        return 0;
    for (int32_t i = 0; i < iCount; ++i) {
        CPrinter printer;
        if (!printer.Serialize(ar))
            break;
        printer.Describe(0);
        printer.Describe(1);
        std::string bytes;
        {
            CArchive store(&bytes);
            if (!printer.Serialize(store))
                __builtin_trap(); // whatever was read can be written again
        }
        CArchive load(bytes);
        CPrinter again;
        if (!again.Serialize(load) || !(again == printer) || !load.AtEnd())
            __builtin_trap();
    }
    ar.DescribeError();
    return 0;
}
