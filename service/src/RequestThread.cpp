// CRequestThread: Run, HandleAlive and HandleByeBye. The printer queries are
// in PrinterQueries.cpp.
#include "service/RequestThread.h"

#include "service/PortAddressMove.h"

#include "common/Printers.h"
#include "common/StogPipeComm.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "service/GuiLauncher.h"
#include "service/IconManager.h"
#include "service/ThreadData.h"
#include "service/TraceText.h"

#include <mutex>

namespace {

// The steps of the loop and of an alive request write under the routines
// they were split from.
constexpr CTraceName kTraceAsRun("CRequestThread::Run");
constexpr CTraceName kTraceAsHandleAlive("CRequestThread::HandleAlive");

// The queue creation with the default values (CIconManager, on the stack for one use).
int CreateWithDefaults(const std::string& csUUID, const std::string& csPortAddr,
                       const std::string& csModel, const std::string& csIpAddr,
                       std::string* pcsIconName) {
    CIconManager iconManager;
    SIconInfo actual;
    uint32_t uiWarnings = 0;
    const uint32_t uiResult =
        iconManager.AddWithDefaults(csUUID, csPortAddr, csModel, csIpAddr, &actual, &uiWarnings);
    *pcsIconName = actual.csIconName;
    return int(uiResult);
}

std::mutex g_hooksMutex;
AddWithDefaultsProc g_addWithDefaults = CreateWithDefaults;

AddWithDefaultsProc AddWithDefaults() {
    std::lock_guard lock(g_hooksMutex);
    return g_addWithDefaults;
}

} // namespace

CRequestThread::CRequestThread(CRequests* pRequests, CPrinters* pPrinters)
    : m_pRequests(pRequests), m_pPrinters(pPrinters) {
    CTraceScope scope("CRequestThread::CRequestThread", TRACE_DET);
}

CRequestThread::~CRequestThread() {
    CTraceScope scope("CRequestThread::~CRequestThread", TRACE_DET);
}

void CRequestThread::SetAddWithDefaults(AddWithDefaultsProc proc) {
    std::lock_guard lock(g_hooksMutex);
    g_addWithDefaults = proc ? std::move(proc) : CreateWithDefaults;
}

void CRequestThread::Run() {
    CTraceScope scope("CRequestThread::Run");
    for (;;)
        RunOnce();
}

void CRequestThread::RunOnce() {
    SRequest request;
    std::string csHost;
    if (!m_pRequests->Remove(request, &csHost))
        return;
    const std::string csUUID = request.csUUID;
    Handle(std::move(request));
    // What was kept while this worker processed the printer is its to run. A
    // request kept again has found another worker on the printer, which runs
    // the rest.
    for (bool bOwner = m_bClaimed; bOwner && m_pRequests->TakeParked(csUUID, request);) {
        kTraceAsRun.Inf("Running the request kept while printer %s was processed", csUUID.c_str());
        Handle(std::move(request));
        bOwner = !m_bKept;
    }
    m_pRequests->Done(csHost);
}

void CRequestThread::Handle(SRequest request) {
    kTraceAsRun.Det("Removed request:\n       meth=%d; name=%s; addr=%s; UUID=%s; "
                    "URL=%s; mod=%s; ucode=%s; port=%d; seqnum=%d",
                    int(request.eMethod), request.csHostName.c_str(), request.csIpAddr.c_str(),
                    request.csUUID.c_str(), request.csURL.c_str(), request.csModel.c_str(),
                    request.csMicrocodeLevel.c_str(), int(request.iPort), int(request.ulSeqNum));
    m_bClaimed = false;
    m_bKept = false;
    if (request.eMethod == ESsdpMethod::BYEBYE)
        HandleByeBye(std::move(request));
    else
        HandleAlive(std::move(request));
}

void CRequestThread::KeepForLater(const SRequest& request, const CPrinter& printer,
                                  const CPrinterExtraInfo& extra) {
    const uint32_t ulStored = extra.m_ulMostRecentSeqNum;
    const bool bNotNewer = request.ulSeqNum != 0 && ulStored != 0 && request.ulSeqNum <= ulStored;
    if (bNotNewer && request.csIpAddr == printer.m_csIpAddr &&
        request.csMicrocodeLevel == printer.m_csMicrocodeLevel) {
        kTraceAsHandleAlive.Wrn("Someone else already processing this printer, "
                                "discarding request");
        return;
    }
    kTraceAsHandleAlive.Inf("Someone else already processing this printer, request "
                            "kept until it is done");
    m_pRequests->Park(request);
    m_bKept = true;
}

bool CRequestThread::Admitted(const SRequest& request) {
    // Shared by the workers: one line now and then, however many are refused.
    static CThrottledWarning addressFull, listFull;
    const CPrinters::EAdmission eAdmission = m_pPrinters->Admits(request.csIpAddr);
    if (eAdmission == CPrinters::eAdmitted)
        return true;
    if (eAdmission == CPrinters::eListFull)
        listFull.Occurred(kTraceAsHandleAlive.Prefixed("Known printer list full (" +
                                                       std::to_string(CPrinters::kMaxPrinters) +
                                                       " printers); new printer " + request.csUUID +
                                                       " from " + request.csIpAddr + " not added"));
    else
        addressFull.Occurred(kTraceAsHandleAlive.Prefixed(
            "Address " + request.csIpAddr + " has brought " +
            std::to_string(CPrinters::kMaxPerAddress) +
            " printers into the list already; new printer " + request.csUUID + " not added"));
    return false;
}

void CRequestThread::HandleByeBye(SRequest request) {
    CTraceScope scope("CRequestThread::HandleByeBye");
    CPrintersLock lock(*m_pPrinters);
    CPrinterExtraInfo extra;
    if (!m_pPrinters->FindExtraInfo(request.csUUID, extra)) {
        scope.Inf("Received ByeBye for unknown UUID %s, discarding", request.csUUID.c_str());
        return;
    }
    if (request.ulSeqNum != 0 && extra.m_ulMostRecentSeqNum != 0 &&
        request.ulSeqNum <= extra.m_ulMostRecentSeqNum) {
        scope.Inf("Received duplicate or old ByeBye for UUID %s, "
                  "discarding",
                  request.csUUID.c_str());
        return;
    }
    // The worker on the printer would store its location over the cleared one.
    if (extra.m_uiFlags & EXTRA_FLAG_PROCESSING) {
        scope.Inf("Someone else already processing this printer, "
                  "ByeBye for UUID %s kept until it is done",
                  request.csUUID.c_str());
        m_pRequests->Park(request);
        m_bKept = true;
        return;
    }
    scope.Inf("Received ByeBye for UUID %s, clearing cached info, if "
              "any",
              request.csUUID.c_str());
    extra.m_csCachedStateVarURL.clear();
    extra.m_iCachedStateVarPort = -1;
    extra.m_ulMostRecentSeqNum = request.ulSeqNum;
    m_pPrinters->UpdateExtraInfo(request.csUUID, extra);
}

void CRequestThread::HandleAlive(SRequest request) {
    CTraceScope scope("CRequestThread::HandleAlive");
    CPrinter printer;
    CPrinterExtraInfo extra;
    bool bNew = false;

    // 1-3: look the printer up, add it or claim it.
    CPrintersLock lock(*m_pPrinters);
    if (!ClaimPrinter(request, lock, &printer, &extra, &bNew))
        return;

    // 4-6: the network work, without the lock.
    lock.Release();
    std::string csStateVarURL;
    int32_t iStateVarPort = -1;
    const uint32_t uiConfig1Var =
        QueryConfigWord(request, printer, extra, &csStateVarURL, &iStateVarPort);

    // 7: the printer may have been removed meanwhile.
    lock.Take();
    if (!m_pPrinters->Find(request.csUUID, printer)) {
        scope.Wrn("Printer no longer exists!");
        return;
    }
    scope.Det("Vex state after getting state variable=%d", int(printer.m_VexState));

    // 8: the decision for a new printer.
    const eMode eOpMode = CVexData().GetOpMode();
    if (bNew && printer.m_VexState == eVexWaiting) {
        const bool bCanPrint =
            (uiConfig1Var & PRT_CONFIG1_CAN_PRINT_MASK) == PRT_CONFIG1_CAN_PRINT_MASK;
        if (eOpMode == eModeAutomatic && bCanPrint && !(printer.m_uiFlags & PRT_FLAG_ADDING)) {
            if (!AddQueue(request, lock, &printer))
                return;
        } else {
            scope.Inf("New printer found, adding to 'awaiting user "
                      "action' list");
        }
    }

    // 9: write back, still under the lock.
    const std::string csOldAddr = printer.m_csIpAddr;
    WriteBack(request, uiConfig1Var, csStateVarURL, iStateVarPort, &printer);
    lock.Release();
    // A known printer with a new address (DHCP): its queues go with it.
    if (!bNew && !csOldAddr.empty() && csOldAddr != request.csIpAddr)
        MovePortsToNewAddress(csOldAddr, request.csIpAddr);

    // 10: prompting.
    if (bNew && eOpMode == eModePrompt)
        PromptUser();
}

bool CRequestThread::ClaimPrinter(const SRequest& request, CPrintersLock& lock, CPrinter* pPrinter,
                                  CPrinterExtraInfo* pExtra, bool* pbNew) {
    CPrinter& printer = *pPrinter;
    CPrinterExtraInfo& extra = *pExtra;
    bool bKnown = m_pPrinters->Find(request.csUUID, printer);
    bool bSupported = true;
    if (!bKnown) {
        if (!Admitted(request))
            return false;
        // The model check reads the driver package's files: the other workers
        // need the list meanwhile. The printer may have come in by then.
        lock.Release();
        bSupported = CVexData().IsModelSupported(request.csModel);
        lock.Take();
        bKnown = m_pPrinters->Find(request.csUUID, printer);
    }
    if (!bKnown) {
        if (!Admitted(request))
            return false;
        int32_t iState = eVexWaiting;
        if (!bSupported) {
            kTraceAsHandleAlive.Wrn("Received advertisement for new printer that is "
                                    "unsupported; printer model='%s'",
                                    request.csModel.c_str());
            iState = eVexUnsupported;
        }
        printer = CPrinter();
        printer.m_csUUID = request.csUUID;
        printer.m_csIpAddr = request.csIpAddr;
        printer.m_csHostName = request.csHostName;
        printer.m_csPrinterModel = request.csModel;
        printer.m_csMicrocodeLevel = request.csMicrocodeLevel;
        printer.m_csIconName.clear();
        printer.m_VexState = iState;
        printer.m_uiFlags = 0;
        printer.m_uiPrtConfig1Var = PRT_CONFIG1_UNKNOWN;
        if (!m_pPrinters->Add(printer)) {
            kTraceAsHandleAlive.Err("Adding printer %s failed", request.csUUID.c_str());
            return false;
        }
        extra = CPrinterExtraInfo();
        extra.m_csCachedStateVarURL.clear();
        extra.m_iCachedStateVarPort = -1;
        extra.m_uiFlags = EXTRA_FLAG_PROCESSING;
        extra.m_ulMostRecentSeqNum = request.ulSeqNum;
        m_pPrinters->UpdateExtraInfo(request.csUUID, extra);
        m_bClaimed = true;
        *pbNew = true;
        return true;
    }
    if (TraceOn(TRACE_DET))
        kTraceAsHandleAlive.Det("Request received for known printer:\n       %s",
                                printer.Describe(1).c_str());
    m_pPrinters->FindExtraInfo(request.csUUID, extra);
    if (extra.m_uiFlags & EXTRA_FLAG_PROCESSING) {
        KeepForLater(request, printer, extra);
        return false;
    }
    const uint32_t ulStored = extra.m_ulMostRecentSeqNum;
    if (request.ulSeqNum != 0 && ulStored != 0 && request.ulSeqNum == ulStored) {
        kTraceAsHandleAlive.Inf("Duplicate request, discarding");
        return false;
    }
    if (request.ulSeqNum != 0 && ulStored != 0 && request.ulSeqNum < ulStored) {
        kTraceAsHandleAlive.Wrn("Out-of-order request, discarding");
        return false;
    }
    extra.m_uiFlags |= EXTRA_FLAG_PROCESSING;
    extra.m_ulMostRecentSeqNum = request.ulSeqNum;
    m_pPrinters->UpdateExtraInfo(request.csUUID, extra);
    m_bClaimed = true;
    return true;
}

uint32_t CRequestThread::QueryConfigWord(const SRequest& request, const CPrinter& printer,
                                         const CPrinterExtraInfo& extra,
                                         std::string* pcsStateVarURL, int32_t* piStateVarPort) {
    std::string& csStateVarURL = *pcsStateVarURL;
    int32_t& iStateVarPort = *piStateVarPort;
    uint32_t uiConfig1Var = PRT_CONFIG1_UNKNOWN;
    kTraceAsHandleAlive.Det("Vex state before getting state variable=%d", int(printer.m_VexState));
    bool bQueryStateVar = true;
    if (extra.m_iCachedStateVarPort != -1 &&
        printer.m_csMicrocodeLevel == request.csMicrocodeLevel) {
        csStateVarURL = extra.m_csCachedStateVarURL;
        iStateVarPort = extra.m_iCachedStateVarPort;
    } else {
        csStateVarURL.clear();
        iStateVarPort = -1;
        std::string csDescription;
        bQueryStateVar = GetDeviceDescription(request, &csDescription) &&
                         ParseDeviceDescription(csDescription, &csStateVarURL, &iStateVarPort);
    }
    kTraceAsHandleAlive.Det("csStateVarURL=%s; iStateVarPort=%d", csStateVarURL.c_str(),
                            int(iStateVarPort));
    if (bQueryStateVar) {
        std::string csAnswer;
        if (GetStateVariable(csStateVarURL, iStateVarPort, request, &csAnswer) &&
            !ParseStateVariable(csAnswer, &uiConfig1Var))
            uiConfig1Var = PRT_CONFIG1_UNKNOWN;
    }
    return uiConfig1Var;
}

bool CRequestThread::AddQueue(const SRequest& request, CPrintersLock& lock, CPrinter* pPrinter) {
    CPrinter& printer = *pPrinter;
    AddWithDefaultsProc addWithDefaults = AddWithDefaults();
    printer.m_uiFlags |= PRT_FLAG_ADDING;
    m_pPrinters->UpdatePrinter(printer);
    lock.Release();
    kTraceAsHandleAlive.Inf("New printer found, need to add icon for it");
    {
        CStogPipeComm stog;
        stog.TellGuiAddingIconsWithDefaults();
    }
    const bool bByHostName = !request.csHostName.empty();
    const std::string& csPortAddr = bByHostName ? request.csHostName : request.csIpAddr;
    std::string csIconName;
    const int iResult =
        addWithDefaults(request.csUUID, csPortAddr, request.csModel, request.csIpAddr, &csIconName);
    lock.Take();
    if (!m_pPrinters->Find(request.csUUID, printer)) {
        kTraceAsHandleAlive.Wrn("Printer no longer exists!");
        return false;
    }
    kTraceAsHandleAlive.Det("Vex state after add icon call, but before "
                            "setting it based on the results=%d",
                            int(printer.m_VexState));
    printer.m_uiFlags &= ~PRT_FLAG_ADDING;
    if (iResult == ICON_OK) {
        printer.AddIconName(csIconName);
        printer.m_VexState = eVexAdded;
        if (bByHostName)
            printer.m_uiFlags |= PRT_FLAG_HOSTNAME_USED;
        else
            printer.m_uiFlags &= ~PRT_FLAG_HOSTNAME_USED;
    } else if (iResult == ICON_MODEL_UNSUPPORTED) {
        kTraceAsHandleAlive.Err("Printer model found to be unsupported");
        printer.m_VexState = eVexUnsupported;
    } else {
        kTraceAsHandleAlive.Err("Attempt to add icon failed");
        printer.m_VexState = eVexAddError;
    }
    kTraceAsHandleAlive.Det("Vex state after attempt to add icon=%d", int(printer.m_VexState));
    return true;
}

void CRequestThread::WriteBack(const SRequest& request, uint32_t uiConfig1Var,
                               const std::string& csStateVarURL, int32_t iStateVarPort,
                               CPrinter* pPrinter) {
    CPrinter& printer = *pPrinter;
    printer.m_csIpAddr = request.csIpAddr;
    printer.m_csHostName = request.csHostName;
    printer.m_csPrinterModel = request.csModel;
    printer.m_csMicrocodeLevel = request.csMicrocodeLevel;
    printer.m_uiPrtConfig1Var = uiConfig1Var;
    m_pPrinters->UpdatePrinter(printer);
    CPrinterExtraInfo extra;
    if (m_pPrinters->FindExtraInfo(request.csUUID, extra)) {
        if (!csStateVarURL.empty())
            extra.m_csCachedStateVarURL = csStateVarURL;
        if (iStateVarPort != -1)
            extra.m_iCachedStateVarPort = iStateVarPort;
        extra.m_uiFlags &= ~EXTRA_FLAG_PROCESSING;
        m_pPrinters->UpdateExtraInfo(request.csUUID, extra);
    }
}

void CRequestThread::PromptUser() {
    kTraceAsHandleAlive.Inf("New printer found, need to prompt user");
    {
        CStogPipeComm stog;
        if (stog.TellFoundNewPrinter()) {
            kTraceAsHandleAlive.Inf("GUI notified about new printer");
            return;
        }
    }
    if (StartPromptingGui())
        kTraceAsHandleAlive.Inf("GUI notified about new printer");
    else
        kTraceAsHandleAlive.Err("CreateProcess failed");
}

uint32_t RequestThreadProc(SThreadData* pData) {
    CTraceScope scope("RequestThreadProc", TRACE_DET);
    CRequestThread thread(pData->pRequests, pData->pPrinters);
    thread.Run();
}
