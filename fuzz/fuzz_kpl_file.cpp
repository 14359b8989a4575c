// Feeds arbitrary bytes to the list's file reader, CPrinters::Read, twice: as
// the list file, and as a ".copy" beside no list file (a first write that
// stopped half-way). The first read either loads the records or fails and
// keeps the bytes as ".save"; the second always succeeds, with the same list
// when the bytes are a whole list and with an empty one (and the ".save")
// when they are not.
#include "FuzzTrace.h"
#include "common/Printers.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

void Put(const std::string& csPath, const uint8_t* pData, size_t nSize) {
    std::ofstream out(csPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(pData), std::streamsize(nSize));
    if (!out.flush())
        __builtin_trap(); // the private root must be writable
}

std::string Get(const std::string& csPath) {
    std::ifstream in(csPath, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool NoRecordIsAdding(CPrinters& list) {
    bool bClear = true;
    list.Lock();
    int iHandle = CPrinters::kStartHandle, iStatus = 0;
    while (CPrinter* p = list.GetNext(iHandle, iStatus))
        bClear = bClear && (p->m_uiFlags & PRT_FLAG_ADDING) == 0;
    list.Unlock();
    return bClear;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    static const std::string csPath = FuzzWorkDir() + "vexkpl.dat";
    const std::string csCopy = csPath + ".copy", csSave = csPath + ".save";
    const std::string csInput(reinterpret_cast<const char*>(pData), nSize);
    CPrinters list;
    list.SetKplPath(csPath);

    std::filesystem::remove(csCopy);
    std::filesystem::remove(csSave);
    Put(csPath, pData, nSize);
    const bool bWhole = list.Read(true);
    const int iCount = list.GetCount();
    if (!NoRecordIsAdding(list))
        __builtin_trap();
    if (bWhole == std::filesystem::exists(csSave))
        __builtin_trap(); // a failed read keeps the file, a good one makes no ".save"
    if (!bWhole && Get(csSave) != csInput)
        __builtin_trap();

    std::filesystem::remove(csPath);
    std::filesystem::remove(csSave);
    Put(csCopy, pData, nSize);
    if (!list.Read(true))
        __builtin_trap(); // an uncommitted copy never stops a start
    if (list.GetCount() != (bWhole ? iCount : 0) || list.KPLFileNeedsWriting())
        __builtin_trap();
    if (!bWhole && Get(csSave) != csInput)
        __builtin_trap();
    return 0;
}
