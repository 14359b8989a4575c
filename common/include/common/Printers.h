// CPrinters: the known printer list (KPL), sorted by UUID, shared by the threads
// of one program under its own recursive lock, and stored in the KPL file.
//
// Every change of a stored CPrinter sets the KPL-needs-writing event; Write
// clears it. The file is replaced only by a complete copy: Write writes
// "<path>.copy", forces it to disk and then replaces the main file by a copy of
// it in one step, so a reader sees either the old or the new list, even after a
// crash. Read falls back to the ".copy" file when the main file is missing or
// empty, and keeps a damaged file as "<path>.save".
//
// Both programs read and write the file: the file operations of Read and Write
// run under the machine-wide mutex "VexKplMutex" (LockKPLFile/UnlockKPLFile), so
// that no write of one program interleaves with a read or write of the other.
//
// Locks: no thread ever waits for the list lock while it holds the file mutex.
// Write serialises the list under the list lock alone and then stores the bytes
// under the file mutex alone; Read reads the file under the file mutex alone and
// then replaces the list under the list lock alone. So a thread may call Read and
// Write while it holds the list lock (a compound change), and a thread that holds
// the file mutex through LockKPLFile (the writer gathering changes) may call them
// too: its hold is set aside while the list lock is waited for and taken back
// after. Between LockKPLFile and UnlockKPLFile call no other list operation
// (each takes the list lock): that would be the forbidden order.
//
// Writes of one list object land in the order their lists were taken: a list
// taken earlier never replaces one taken later in the file.
#pragma once

#include "common/Archive.h"
#include "common/Printer.h"
#include "common/PrinterExtraInfo.h"
#include "platform/sync.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <vector>

class CTraceName;
namespace platform {
class File;
}

// One slot of the list: the list owns both records.
struct SKnownPrinter {
    CPrinter* m_pPrinter;
    CPrinterExtraInfo* m_pExtraInfo;
};

class CPrinters {
public:
    // The handle that GetNext starts from.
    static constexpr int kStartHandle = -1;
    // GetNext's status.
    enum EGetNextStatus { eNextFound = 0, eNextInvalidHandle = 1, eNextEndOfList = 2 };
    // Slots at construction, and slots added each time the array is full.
    static constexpr int kGrowBy = 50;
    // The machine-wide mutex around every read and write of the file.
    static const char* const kKplMutexName;
    // Caps on newcomers, so that no host can grow the list without end: a real
    // printer has one UUID per address, a multi-function device or an address
    // handed on by DHCP a few more.
    static constexpr int kMaxPerAddress = 8;
    static constexpr int kMaxPrinters = 65536;
    enum EAdmission { eAdmitted, eAddressFull, eListFull };

    CPrinters();
    virtual ~CPrinters();
    CPrinters(const CPrinters&) = delete;
    CPrinters& operator=(const CPrinters&) = delete;

    // Full path of the KPL file; set before the first Read.
    void SetKplPath(const std::string& csPath) { m_csKplPath = csPath; }
    const std::string& GetKplPath() const { return m_csKplPath; }

    // The list lock; recursive for the thread that holds it.
    bool Lock();
    void Unlock();

    // Binary search. The record and the position may each be absent. Not found:
    // the position where the UUID would be inserted (-1 for an empty UUID).
    bool FindWithPos(const std::string& csUUID, CPrinter* pPrinter, int* pPos);
    bool Find(const std::string& csUUID, int& iPos) { return FindWithPos(csUUID, nullptr, &iPos); }
    bool Find(const std::string& csUUID, CPrinter& printer) {
        return FindWithPos(csUUID, &printer, nullptr);
    }
    bool FindExtraInfo(const std::string& csUUID, CPrinterExtraInfo& extraInfo);

    // Inserts a copy in UUID order with a default extra info. Fails (list
    // unchanged) for an empty UUID or IP address, a UUID already listed, or
    // no memory.
    bool Add(const CPrinter& printer);
    // Whether a printer not in the list, announced from csIpAddr, may join it.
    // The caps bind newcomers only: Add and Read never refuse a known printer,
    // and a known printer that moves to a full address still moves.
    EAdmission Admits(const std::string& csIpAddr);
    // Printers listed with the address.
    int CountAt(const std::string& csIpAddr);
    bool Remove(const std::string& csUUID);
    void RemoveAll();
    // Replaces the stored record of the same UUID; false when it is not listed,
    // equal to the given one, or has an empty UUID or IP address (which Add
    // refuses): then nothing changes and no event is set.
    bool UpdatePrinter(const CPrinter& printer);
    // Replaces the entry's extra info; sets no event (it is never stored).
    bool UpdateExtraInfo(const std::string& csUUID, const CPrinterExtraInfo& extraInfo);

    // Iteration: start with kStartHandle; each call moves the handle on and
    // returns the entry's record (and its extra info when asked for), or null
    // with the status eNextEndOfList or eNextInvalidHandle. The pointers point
    // into the list: hold the list lock from the first call until done with them.
    CPrinter* GetNext(int& iHandle, int& iStatus, CPrinterExtraInfo** ppExtraInfo);
    CPrinter* GetNext(int& iHandle, int& iStatus);
    // Calls visit(printer) or visit(printer, pExtraInfo) for every entry in
    // UUID order under the list lock; a visitor returning false stops there.
    template <typename TVisit> void ForEach(TVisit&& visit);

    // The machine-wide KPL file mutex (recursive for its owner thread). False
    // when the mutex cannot be had (it is made once, at the first call; when it
    // cannot be made, every call fails); the caller then goes on without it.
    bool LockKPLFile();
    void UnlockKPLFile();

    // Blocks until the KPL-needs-writing event is set; it stays set.
    void WaitForKPLFileNeedsWriting();
    bool KPLFileNeedsWriting();

    // Replaces the list by the file's contents, clearing every "adding" flag when
    // bClearAdding is set. A missing file (and copy), or a missing folder, is an
    // empty list. A damaged file fails the read, is kept as "<path>.save", and the
    // records read before the damage stay in the list. A damaged ".copy" read for
    // a missing or empty main file was never committed (a first write stopped
    // half-way): it is kept as "<path>.save" too, and the list is empty.
    bool Read(bool bClearAdding);
    bool Read();
    // Stores the list in the file. A failed write leaves the main file as it was
    // and sets the event again, so that the writer tries again.
    bool Write();

    // Checks every printer's model against the installed driver package and moves
    // printers into and out of the state "unsupported".
    void CheckSupported();

    int GetCount();
    int GetCapacity();

private:
    enum EOpen { eOpened, eEmpty, eNotFound, eFolderNotFound, eOpenFailed };

    CPrinter* NextEntry(int& iHandle, int& iStatus, CPrinterExtraInfo** ppExtraInfo,
                        const char* pszName);
    bool SetNeedsWriting(const CTraceName& name);
    void Uncount(const std::string& csIpAddr);

    platform::NamedMutex& KplMutex();
    // Runs step under the list lock with this thread's LockKPLFile hold, if any,
    // released meanwhile.
    void UnderListLockAlone(const std::function<void()>& step);

    bool ReadList(bool bClearAdding, const char* pszName);
    bool ReadRecords(bool bClearAdding, std::vector<CPrinter>& records, const CTraceName& name);
    EOpen OpenForLoad(const std::string& csPath, const char* pszBusyText, platform::File& file,
                      const CTraceName& name);
    CArchive::EError Load(platform::File& file, const std::string& csPath, bool bClearAdding,
                          std::vector<CPrinter>& records, const CTraceName& name);
    bool StoreList(std::string& bytes);
    bool StoreFile(const std::string& bytes, uint64_t uiList);
    bool WriteCopy(const std::string& bytes, const std::string& csCopyPath);
    bool ReplaceMainFile(const std::string& csCopyPath);

    std::string m_csKplPath;
    platform::CriticalSection m_cs;
    std::unique_ptr<platform::Event> m_pKplNeedsWriting;
    SKnownPrinter* m_pEntries = nullptr;
    int m_iCapacity = 0;
    int m_iCount = 0;
    // Entries per address, kept by Add, Remove and UpdatePrinter (an address
    // changed in place through GetNext is not counted).
    std::unordered_map<std::string, int> m_perAddress;

    std::once_flag m_kplMutexMade;
    std::unique_ptr<platform::NamedMutex> m_pKplMutex;
    // The thread that holds the file mutex through LockKPLFile, and how often.
    std::atomic<std::thread::id> m_kplFileHolder;
    int m_iKplFileDepth = 0; // used by the holder only

    // Lists taken by Write are numbered (under the list lock); the file
    // operations of this object run one at a time under m_fileGuard, which also
    // guards the number of the list last stored.
    uint64_t m_uiListsTaken = 0;
    std::mutex m_fileGuard;
    uint64_t m_uiListStored = 0;
};

// Holds a list's lock for the life of the object; Release lets it go early
// (for work that must not hold up the others) and Take has it again.
class CPrintersLock {
public:
    explicit CPrintersLock(CPrinters& printers) : m_printers(printers) { Take(); }
    ~CPrintersLock() { Release(); }
    CPrintersLock(const CPrintersLock&) = delete;
    CPrintersLock& operator=(const CPrintersLock&) = delete;

    void Release() {
        if (m_bHeld)
            m_printers.Unlock();
        m_bHeld = false;
    }
    void Take() {
        if (!m_bHeld)
            m_bHeld = m_printers.Lock();
    }

private:
    CPrinters& m_printers;
    bool m_bHeld = false;
};

template <typename TVisit> void CPrinters::ForEach(TVisit&& visit) {
    // A visitor that returns a boolean stops the walk with false.
    const auto goOn = [&](auto&&... args) {
        if constexpr (std::is_void_v<decltype(visit(args...))>) {
            visit(args...);
            return true;
        } else {
            return bool(visit(args...));
        }
    };
    CPrintersLock lock(*this);
    int iHandle = kStartHandle;
    int iStatus = eNextFound;
    if constexpr (std::is_invocable_v<TVisit&, CPrinter&, CPrinterExtraInfo*>) {
        CPrinterExtraInfo* pExtraInfo = nullptr;
        while (CPrinter* pPrinter = GetNext(iHandle, iStatus, &pExtraInfo))
            if (!goOn(*pPrinter, pExtraInfo))
                return;
    } else {
        while (CPrinter* pPrinter = GetNext(iHandle, iStatus))
            if (!goOn(*pPrinter))
                return;
    }
}
