// The known printer list and its file: reading with the ".copy" fall-back and
// the ".save" of a damaged file, writing through ".copy" with an atomic
// replacement of the main file, the machine-wide file mutex, and the re-check
// of the printers' models.
#include "common/Archive.h"
#include "common/Printers.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/files.h"

#include <algorithm>
#include <vector>

namespace {

// The steps of writing the list file, and the file's mutex, write under
// the routines they belong to.
constexpr CTraceName kTraceAsLockKPLFile("CPrinters::LockKPLFile");
constexpr CTraceName kTraceAsWrite("CPrinters::Write");

constexpr uint32_t kRetryDelay = 1000; // between attempts on a busy file
constexpr int kReadOpenRetries = 5;    // a read tries to open 6 times in all
constexpr int kWriteOpenAttempts = 5;  // a write tries to create ".copy" 5 times
constexpr int kReplaceAttempts = 5;    // and to replace the main file 5 times
constexpr uint32_t kStoredAttributes = platform::FILE_ATTRIBUTE_READONLY |
                                       platform::FILE_ATTRIBUTE_HIDDEN |
                                       platform::FILE_ATTRIBUTE_ARCHIVE;

} // namespace

platform::NamedMutex& CPrinters::KplMutex() {
    // Made once and never replaced: another thread may be waiting on it.
    std::call_once(m_kplMutexMade, [this] {
        m_pKplMutex = std::make_unique<platform::NamedMutex>(kKplMutexName);
        if (!m_pKplMutex->IsValid())
            kTraceAsLockKPLFile.Err("Failed to create the KPL file mutex: %u",
                                    platform::GetLastError());
    });
    return *m_pKplMutex;
}

bool CPrinters::LockKPLFile() {
    CTraceScope scope("CPrinters::LockKPLFile");
    if (KplMutex().Wait(platform::INFINITE) != platform::WaitResult::Signaled) {
        // Better an unguarded access than none: the file is still replaced in one step.
        scope.Err("Failed to take the KPL file mutex: %u", platform::GetLastError());
        scope.Result(false);
        return false;
    }
    m_kplFileHolder = std::this_thread::get_id();
    ++m_iKplFileDepth;
    scope.Result(true);
    return true;
}

void CPrinters::UnlockKPLFile() {
    CTraceScope scope("CPrinters::UnlockKPLFile");
    if (m_kplFileHolder != std::this_thread::get_id() || m_iKplFileDepth == 0) {
        scope.Err("KPL file mutex not held");
        return;
    }
    // Given up before the release: the next holder sets its own.
    if (--m_iKplFileDepth == 0)
        m_kplFileHolder = std::thread::id();
    KplMutex().Release();
}

void CPrinters::UnderListLockAlone(const std::function<void()>& step) {
    int iHeld = 0;
    if (m_kplFileHolder == std::this_thread::get_id()) {
        iHeld = m_iKplFileDepth;
        m_iKplFileDepth = 0;
        m_kplFileHolder = std::thread::id();
        for (int i = 0; i < iHeld; ++i)
            KplMutex().Release();
    }
    {
        std::lock_guard lock(m_cs);
        step();
    }
    // Taken back while this thread may hold the list lock: that order is allowed.
    for (int i = 0; i < iHeld; ++i)
        LockKPLFile();
}

bool CPrinters::Read(bool bClearAdding) {
    return ReadList(bClearAdding, "CPrinters::Read/1");
}

bool CPrinters::Read() {
    return ReadList(false, "CPrinters::Read/0");
}

CPrinters::EOpen CPrinters::OpenForLoad(const std::string& csPath, const char* pszBusyText,
                                        platform::File& file, const CTraceName& name) {
    for (int iRetries = 0;; ++iRetries) {
        if (file.OpenForRead(csPath))
            break;
        uint32_t dwError = platform::GetLastError();
        if (dwError == platform::ERROR_SHARING_VIOLATION && iRetries < kReadOpenRetries) {
            name.Wrn("%s", pszBusyText);
            platform::Sleep(kRetryDelay);
            continue;
        }
        if (dwError == platform::ERROR_FILE_NOT_FOUND)
            return eNotFound;
        if (dwError == platform::ERROR_PATH_NOT_FOUND)
            return eFolderNotFound;
        return eOpenFailed;
    }
    uint64_t qwSize = 0;
    if (!file.GetSize(&qwSize))
        return eOpenFailed;
    if (qwSize == 0) {
        file.Close();
        return eEmpty;
    }
    return eOpened;
}

bool CPrinters::ReadList(bool bClearAdding, const char* pszName) {
    CTraceScope scope(pszName);
    std::vector<CPrinter> records;
    const bool bOk = ReadRecords(bClearAdding, records, scope);
    UnderListLockAlone([&] {
        RemoveAll();
        for (const CPrinter& printer : records) {
            if (!Add(printer))
                scope.Err("Attempt to add printer failed");
        }
        // The Add calls set the event; a loaded list needs no write.
        if (bOk && m_pKplNeedsWriting)
            m_pKplNeedsWriting->Reset();
        else if (bOk)
            scope.Err("Attempt to reset event failed");
    });
    scope.Result(bOk);
    return bOk;
}

bool CPrinters::ReadRecords(bool bClearAdding, std::vector<CPrinter>& records,
                            const CTraceName& name) {
    if (m_csKplPath.empty()) {
        name.Err("No KPL file path set");
        return false;
    }
    const bool bLocked = LockKPLFile();
    bool bOk = false;
    {
        std::lock_guard guard(m_fileGuard);
        platform::File file;
        const std::string csCopyPath = m_csKplPath + ".copy";
        switch (OpenForLoad(m_csKplPath, "File busy, going to sleep for a while", file, name)) {
        case eOpened:
            bOk = Load(file, m_csKplPath, bClearAdding, records, name) == CArchive::eErrNone;
            break;
        case eFolderNotFound:
            bOk = true;
            break;
        case eOpenFailed:
            name.Err("Open of KPL file failed");
            break;
        case eEmpty:
        case eNotFound: {
            EOpen eCopy =
                OpenForLoad(csCopyPath, "Copy file busy, going to sleep for a while", file, name);
            if (eCopy == eOpened || eCopy == eEmpty)
                name.Wrn("KPL file doesn't exist, but copy file does, so using it");
            if (eCopy == eOpenFailed) {
                name.Err("Open of KPL file failed");
            } else if (eCopy != eOpened) {
                name.Wrn("KPL file doesn't exist or is empty");
                bOk = true;
            } else {
                const CArchive::EError eError = Load(file, csCopyPath, bClearAdding, records, name);
                bOk = eError == CArchive::eErrNone;
                // The main file is replaced only by a complete copy: a damaged copy
                // beside no main file was never committed, so there is no list yet.
                if (eError != CArchive::eErrNone && eError != CArchive::eErrFile) {
                    name.Wrn("The copy file was never completed (a first write stopped "
                             "half-way); starting with an empty list");
                    records.clear();
                    bOk = true;
                }
            }
            break;
        }
        }
    }
    if (bLocked)
        UnlockKPLFile();
    return bOk;
}

CArchive::EError CPrinters::Load(platform::File& file, const std::string& csPath, bool bClearAdding,
                                 std::vector<CPrinter>& records, const CTraceName& name) {
    CArchive ar(file, CArchive::eLoad);
    int32_t iCount = 0;
    if (ar.Read(iCount) && iCount < 0)
        ar.SetError(CArchive::eErrBadCount);
    if (ar.Good())
        name.Inf("Number of known printers in file: %d", iCount);
    for (int32_t i = 0; ar.Good() && i < iCount; ++i) {
        CPrinter printer;
        if (!printer.Serialize(ar))
            break;
        if (TraceOn(TRACE_INF))
            name.Inf("Read printer from file:\n       %s", printer.Describe(1).c_str());
        if (bClearAdding && (printer.m_uiFlags & PRT_FLAG_ADDING)) {
            name.Wrn("Clearing 'adding' bit from m_uiFlags shown above");
            printer.m_uiFlags &= ~PRT_FLAG_ADDING;
        }
        records.push_back(printer);
    }
    if (ar.Good() && !ar.AtEnd())
        name.Wrn("Bytes follow the last record at offset %llu; they are ignored",
                 static_cast<unsigned long long>(ar.GetPosition()));
    file.Close();
    if (ar.Good())
        return CArchive::eErrNone;

    // Kept for inspection: the next write would replace it.
    std::string csSave = m_csKplPath + ".save";
    platform::SetFileAttributes(csSave, platform::FILE_ATTRIBUTE_NORMAL);
    if (!platform::CopyFile(csPath, csSave, false))
        name.Err("Copy of the damaged KPL file to %s failed: %u", csSave.c_str(),
                 platform::GetLastError());
    if (ar.GetError() == CArchive::eErrFile)
        name.Err("File exception occurred: %d; KPL saved in %s", int(ar.GetCause()),
                 csSave.c_str());
    else
        name.Err("Archive exception occurred: %d; KPL saved in %s", int(ar.GetCause()),
                 csSave.c_str());
    return ar.GetError();
}

bool CPrinters::StoreList(std::string& bytes) {
    CArchive ar(&bytes);
    ar.Write(int32_t(m_iCount));
    kTraceAsWrite.Inf("Wrote number of known printers: %d", m_iCount);
    for (int i = 0; i < m_iCount && ar.Good(); ++i) {
        m_pEntries[i].m_pPrinter->Serialize(ar);
        kTraceAsWrite.Inf("Wrote entry for UUID: '%s'", m_pEntries[i].m_pPrinter->m_csUUID.c_str());
    }
    if (!ar.Good()) {
        kTraceAsWrite.Err("Archive exception occurred: %d", int(ar.GetCause()));
        return false;
    }
    // Cleared under the list lock: a change after this point sets it again.
    if (m_pKplNeedsWriting)
        m_pKplNeedsWriting->Reset();
    else
        kTraceAsWrite.Err("Attempt to reset event failed");
    return true;
}

bool CPrinters::ReplaceMainFile(const std::string& csCopyPath) {
    platform::SetFileAttributes(m_csKplPath, platform::FILE_ATTRIBUTE_NORMAL);
    for (int iAttempt = 1;; ++iAttempt) {
        if (platform::ReplaceFileWithCopy(csCopyPath, m_csKplPath))
            return true;
        if (iAttempt >= kReplaceAttempts) {
            kTraceAsWrite.Wrn("File copy unsuccessful");
            return false;
        }
        kTraceAsWrite.Wrn("File busy for copy, going to sleep for a while");
        platform::Sleep(kRetryDelay);
    }
}

bool CPrinters::WriteCopy(const std::string& bytes, const std::string& csCopyPath) {
    platform::File file;
    platform::SetFileAttributes(csCopyPath, platform::FILE_ATTRIBUTE_NORMAL);
    for (int iAttempt = 1;; ++iAttempt) {
        if (file.CreateForWrite(csCopyPath))
            break;
        uint32_t dwError = platform::GetLastError();
        if (dwError == platform::ERROR_SHARING_VIOLATION && iAttempt < kWriteOpenAttempts) {
            kTraceAsWrite.Wrn("File busy for write, going to sleep for a while");
            platform::Sleep(kRetryDelay);
            continue;
        }
        if (dwError == platform::ERROR_PATH_NOT_FOUND)
            kTraceAsWrite.Err("Open failed because path to KPL file doesn't exist");
        else
            kTraceAsWrite.Err("Open failed with file exception: %d", int(dwError));
        return false;
    }
    // Forced to disk before it replaces the main file: a crash must not leave a
    // main file whose contents never reached the disk.
    if (!file.Write(bytes.data(), bytes.size()) || !file.FlushToDisk() || !file.Close()) {
        kTraceAsWrite.Err("File exception occurred: %d", int(platform::GetLastError()));
        return false;
    }
    return true;
}

bool CPrinters::StoreFile(const std::string& bytes, uint64_t uiList) {
    const bool bLocked = LockKPLFile();
    bool bStored = false;
    {
        std::lock_guard guard(m_fileGuard);
        const std::string csCopyPath = m_csKplPath + ".copy";
        if (uiList < m_uiListStored) {
            // Another thread stored a list taken later: it holds this one's changes.
            kTraceAsWrite.Inf("A later list is already stored; this one is not written");
            bStored = true;
        } else if (WriteCopy(bytes, csCopyPath)) {
            bStored = ReplaceMainFile(csCopyPath);
            platform::SetFileAttributes(m_csKplPath, kStoredAttributes);
            platform::SetFileAttributes(csCopyPath, kStoredAttributes);
            if (bStored)
                m_uiListStored = uiList;
        }
    }
    if (bLocked)
        UnlockKPLFile();
    return bStored;
}

bool CPrinters::Write() {
    CTraceScope scope("CPrinters::Write");
    bool bWritten = false;
    if (m_csKplPath.empty()) {
        scope.Err("No KPL file path set");
    } else {
        // Serialised in memory under the list lock alone, so that the list lock
        // is not held for the disk, nor waited for while the file mutex is held.
        std::string bytes;
        bool bTaken = false;
        uint64_t uiList = 0;
        UnderListLockAlone([&] {
            bTaken = StoreList(bytes);
            uiList = ++m_uiListsTaken;
        });
        if (bTaken)
            bWritten = StoreFile(bytes, uiList);
    }
    if (!bWritten)
        SetNeedsWriting(scope);
    scope.Result(bWritten);
    return bWritten;
}

void CPrinters::CheckSupported() {
    CTraceScope scope("CPrinters::CheckSupported");
    std::lock_guard lock(m_cs);
    // Each model is asked once per call: the answer reads .inf files.
    std::vector<std::string> supported, unsupported;
    auto contains = [](const std::vector<std::string>& v, const std::string& s) {
        return std::find(v.begin(), v.end(), s) != v.end();
    };
    bool bChanged = false;
    for (int i = 0; i < m_iCount; ++i) {
        CPrinter& printer = *m_pEntries[i].m_pPrinter;
        const std::string& csModel = printer.m_csPrinterModel;
        bool bSupported;
        if (contains(supported, csModel)) {
            bSupported = true;
        } else if (contains(unsupported, csModel)) {
            bSupported = false;
        } else {
            bSupported = CVexData().IsModelSupported(csModel);
            if (bSupported) {
                supported.push_back(csModel);
                scope.Inf("Found that model '%s' is supported", csModel.c_str());
            } else {
                unsupported.push_back(csModel);
                scope.Inf("Found that model '%s' is unsupported", csModel.c_str());
            }
        }
        if (bSupported && printer.m_VexState == eVexUnsupported) {
            scope.Wrn("Printer with UUID %s was marked as unsupported "
                      "before, but is now supported; model = %s",
                      printer.m_csUUID.c_str(), csModel.c_str());
            printer.m_VexState = eVexWaiting;
            bChanged = true;
        } else if (!bSupported && printer.m_VexState != eVexUnsupported) {
            scope.Err("Printer with UUID %s was marked as supported "
                      "before, but is now unsupported; model = %s",
                      printer.m_csUUID.c_str(), csModel.c_str());
            printer.m_VexState = eVexUnsupported;
            bChanged = true;
        }
    }
    if (bChanged)
        SetNeedsWriting(scope);
}
