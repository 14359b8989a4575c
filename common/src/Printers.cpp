// The known printer list in memory: the sorted array, search, changes,
// iteration and the KPL-needs-writing event. The file side is PrintersFile.cpp.
#include "common/Printers.h"

#include "common/Trace.h"

#include <climits>
#include <cstring>
#include <new>

namespace {

// The extra information's update keeps the name its lines have always had.
constexpr CTraceName kTraceAsUpdatePrinterExtraInfo("CPrinters::UpdatePrinterExtraInfo");

// Allocation that reports failure as null: no exception leaves the list.
template <typename T, typename... Args> T* NewOrNull(Args&&... args) {
    try {
        return new T(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

SKnownPrinter* NewSlots(int iCount) {
    return new (std::nothrow) SKnownPrinter[size_t(iCount)];
}

} // namespace

const char* const CPrinters::kKplMutexName = "VexKplMutex";

CPrinters::CPrinters() {
    CTraceScope scope("CPrinters::CPrinters");
    m_pEntries = NewSlots(kGrowBy);
    if (m_pEntries)
        m_iCapacity = kGrowBy;
    else
        scope.Err("Call to 'new' failed");
    m_pKplNeedsWriting.reset(NewOrNull<platform::Event>(true, false));
}

CPrinters::~CPrinters() {
    CTraceScope scope("CPrinters::~CPrinters");
    for (int i = 0; i < m_iCount; ++i) {
        delete m_pEntries[i].m_pPrinter;
        delete m_pEntries[i].m_pExtraInfo;
    }
    delete[] m_pEntries;
}

bool CPrinters::Lock() {
    m_cs.Enter();
    return true;
}

void CPrinters::Unlock() {
    m_cs.Leave();
}

int CPrinters::GetCount() {
    std::lock_guard lock(m_cs);
    return m_iCount;
}

int CPrinters::GetCapacity() {
    std::lock_guard lock(m_cs);
    return m_iCapacity;
}

bool CPrinters::SetNeedsWriting(const CTraceName& name) {
    if (!m_pKplNeedsWriting) {
        name.Err("Attempt to set event failed");
        return false;
    }
    m_pKplNeedsWriting->Set();
    return true;
}

bool CPrinters::KPLFileNeedsWriting() {
    return m_pKplNeedsWriting && m_pKplNeedsWriting->IsSet();
}

void CPrinters::WaitForKPLFileNeedsWriting() {
    CTraceScope scope("CPrinters::WaitForKPLFileNeedsWriting");
    if (!m_pKplNeedsWriting ||
        m_pKplNeedsWriting->Wait(platform::INFINITE) != platform::WaitResult::Signaled)
        scope.Err("Attempt to wait on event failed");
}

bool CPrinters::FindWithPos(const std::string& csUUID, CPrinter* pPrinter, int* pPos) {
    CTraceScope scope("CPrinters::FindWithPos");
    if (csUUID.empty()) {
        if (pPos)
            *pPos = -1;
        scope.Det("Find attempted for empty UUID");
        scope.Result(false);
        return false;
    }
    std::lock_guard lock(m_cs);
    int low = 0, high = m_iCount - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        // Byte order, letter case significant.
        int c = csUUID.compare(m_pEntries[middle].m_pPrinter->m_csUUID);
        if (c == 0) {
            if (pPrinter)
                *pPrinter = *m_pEntries[middle].m_pPrinter;
            if (pPos)
                *pPos = middle;
            scope.Result(true);
            return true;
        }
        if (c < 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
    if (pPos)
        *pPos = low;
    scope.Det("Not found, but returning pos %d", low);
    scope.Result(false);
    return false;
}

bool CPrinters::FindExtraInfo(const std::string& csUUID, CPrinterExtraInfo& extraInfo) {
    CTraceScope scope("CPrinters::FindExtraInfo");
    std::lock_guard lock(m_cs);
    int iPos;
    if (!Find(csUUID, iPos)) {
        scope.Wrn("Entry not found for UUID %s", csUUID.c_str());
        return false;
    }
    extraInfo = *m_pEntries[iPos].m_pExtraInfo;
    return true;
}

bool CPrinters::Add(const CPrinter& printer) {
    CTraceScope scope("CPrinters::Add");
    if (printer.m_csUUID.empty() || printer.m_csIpAddr.empty()) {
        scope.Err("Bad UUID or IP address on input");
        return false;
    }
    std::lock_guard lock(m_cs);
    int iPos = -1;
    if (Find(printer.m_csUUID, iPos)) {
        scope.Err("Attempt made to add printer that was already in list");
        return false;
    }
    if (iPos == -1) {
        scope.Err("FindWithPos failed with bad position pointer");
        return false;
    }
    if (m_iCount == m_iCapacity) {
        scope.Inf("Array full, so need to create a bigger array");
        SKnownPrinter* pBigger = NewSlots(m_iCapacity + kGrowBy);
        if (!pBigger) {
            scope.Err("Call to 'new' for SKnownPrinter[%d] failed", m_iCapacity + kGrowBy);
            return false;
        }
        if (m_iCount > 0)
            std::memcpy(pBigger, m_pEntries, size_t(m_iCount) * sizeof(SKnownPrinter));
        delete[] m_pEntries;
        m_pEntries = pBigger;
        m_iCapacity += kGrowBy;
    }
    CPrinter* pPrinter = NewOrNull<CPrinter>(printer);
    if (!pPrinter) {
        scope.Err("Call to 'new' for CPrinter failed");
        return false;
    }
    CPrinterExtraInfo* pExtraInfo = NewOrNull<CPrinterExtraInfo>();
    if (!pExtraInfo) {
        scope.Err("Call to 'new' for CPrinterExtraInfo failed");
        delete pPrinter;
        return false;
    }
    std::memmove(&m_pEntries[iPos + 1], &m_pEntries[iPos],
                 size_t(m_iCount - iPos) * sizeof(SKnownPrinter));
    m_pEntries[iPos] = {pPrinter, pExtraInfo};
    ++m_iCount;
    ++m_perAddress[pPrinter->m_csIpAddr];
    SetNeedsWriting(scope);
    scope.Inf("Added printer:\n       %s", pPrinter->Describe(1).c_str());
    return true;
}

void CPrinters::Uncount(const std::string& csIpAddr) {
    auto it = m_perAddress.find(csIpAddr);
    if (it != m_perAddress.end() && --it->second <= 0)
        m_perAddress.erase(it);
}

int CPrinters::CountAt(const std::string& csIpAddr) {
    std::lock_guard lock(m_cs);
    auto it = m_perAddress.find(csIpAddr);
    return it == m_perAddress.end() ? 0 : it->second;
}

CPrinters::EAdmission CPrinters::Admits(const std::string& csIpAddr) {
    std::lock_guard lock(m_cs);
    if (m_iCount >= kMaxPrinters)
        return eListFull;
    if (CountAt(csIpAddr) >= kMaxPerAddress)
        return eAddressFull;
    return eAdmitted;
}

bool CPrinters::Remove(const std::string& csUUID) {
    CTraceScope scope("CPrinters::Remove");
    std::lock_guard lock(m_cs);
    int iPos;
    if (!Find(csUUID, iPos)) {
        scope.Err("Attempt to delete a non-existent entry");
        return false;
    }
    scope.Inf("Removing printer:\n       %s", m_pEntries[iPos].m_pPrinter->Describe(1).c_str());
    Uncount(m_pEntries[iPos].m_pPrinter->m_csIpAddr);
    delete m_pEntries[iPos].m_pPrinter;
    delete m_pEntries[iPos].m_pExtraInfo;
    std::memmove(&m_pEntries[iPos], &m_pEntries[iPos + 1],
                 size_t(m_iCount - iPos - 1) * sizeof(SKnownPrinter));
    --m_iCount;
    SetNeedsWriting(scope);
    return true;
}

void CPrinters::RemoveAll() {
    CTraceScope scope("CPrinters::RemoveAll");
    std::lock_guard lock(m_cs);
    while (m_iCount > 0) {
        // A copy: Remove deletes the record that holds the UUID.
        std::string csUUID = m_pEntries[m_iCount - 1].m_pPrinter->m_csUUID;
        if (!Remove(csUUID))
            break; // cannot happen while the list is sorted; never loop forever
    }
}

bool CPrinters::UpdatePrinter(const CPrinter& printer) {
    CTraceScope scope("CPrinters::UpdatePrinter");
    // What Add refuses must not get in this way either: the next load would
    // drop the record.
    if (printer.m_csUUID.empty() || printer.m_csIpAddr.empty()) {
        scope.Err("Bad UUID or IP address on input");
        return false;
    }
    std::lock_guard lock(m_cs);
    int iPos;
    if (!Find(printer.m_csUUID, iPos)) {
        scope.Err("Attempt to update non-existent entry: %s", printer.m_csUUID.c_str());
        return false;
    }
    CPrinter& stored = *m_pEntries[iPos].m_pPrinter;
    if (stored == printer)
        return false;
    scope.Inf("Updated printer:\n       old: %s\n       new: %s", stored.Describe(1).c_str(),
              printer.Describe(1).c_str());
    if (stored.m_csIpAddr != printer.m_csIpAddr) {
        Uncount(stored.m_csIpAddr);
        ++m_perAddress[printer.m_csIpAddr];
    }
    stored = printer;
    SetNeedsWriting(scope);
    scope.Result("printer updated");
    return true;
}

bool CPrinters::UpdateExtraInfo(const std::string& csUUID, const CPrinterExtraInfo& extraInfo) {
    CTraceScope scope("CPrinters::UpdateExtraInfo");
    std::lock_guard lock(m_cs);
    int iPos;
    if (!Find(csUUID, iPos)) {
        scope.Err("Attempt to update non-existent entry");
        return false;
    }
    CPrinterExtraInfo& stored = *m_pEntries[iPos].m_pExtraInfo;
    if (stored != extraInfo)
        kTraceAsUpdatePrinterExtraInfo.Det("Updated printer extra info:\n"
                                           "       old: %s\n       new: %s",
                                           stored.Describe(1).c_str(),
                                           extraInfo.Describe(1).c_str());
    stored = extraInfo;
    return true;
}

CPrinter* CPrinters::NextEntry(int& iHandle, int& iStatus, CPrinterExtraInfo** ppExtraInfo,
                               const char* pszName) {
    CTraceScope scope(pszName);
    if (ppExtraInfo)
        *ppExtraInfo = nullptr;
    std::lock_guard lock(m_cs);
    if (iHandle < INT_MAX) // a wild handle must not overflow
        ++iHandle;
    if (iHandle < 0 || iHandle > m_iCount) {
        iStatus = eNextInvalidHandle;
        scope.Err("Invalid handle passed in");
        return nullptr;
    }
    if (iHandle == m_iCount) {
        iStatus = eNextEndOfList;
        scope.Inf("Got to end of list, returning 'no next'");
        return nullptr;
    }
    iStatus = eNextFound;
    if (ppExtraInfo)
        *ppExtraInfo = m_pEntries[iHandle].m_pExtraInfo;
    return m_pEntries[iHandle].m_pPrinter;
}

CPrinter* CPrinters::GetNext(int& iHandle, int& iStatus, CPrinterExtraInfo** ppExtraInfo) {
    return NextEntry(iHandle, iStatus, ppExtraInfo, "CPrinters::GetNext/3");
}

CPrinter* CPrinters::GetNext(int& iHandle, int& iStatus) {
    return NextEntry(iHandle, iStatus, nullptr, "CPrinters::GetNext/2");
}
