// The service's command server: the command loop of one GUI connection and the
// commands that change the known printer list.
#include "service/GtosPipeWorkThread.h"

#include "common/GtosCommandLoop.h"
#include "common/Printers.h"
#include "common/Trace.h"
#include "platform/error.h"

namespace {

// The states a printer record may hold; the GUI's commands may set no other.
bool IsKnownState(int32_t eState) {
    return eState >= eVexUnknown && eState <= eVexUnsupported;
}

} // namespace

CGtosPipeWorkThread::CGtosPipeWorkThread(SGtosPipeWorkData* pData)
    : m_hPipe(pData->hPipe), m_pPrinters(pData->pPrinters), m_pAdverts(pData->pAdverts),
      m_pRequests(pData->pRequests) {
    CTraceScope scope("CGtosPipeWorkThread::CGtosPipeWorkThread", TRACE_DET);
    delete pData;
}

CGtosPipeWorkThread::~CGtosPipeWorkThread() {
    if (m_hPipe != platform::INVALID_PIPE_HANDLE)
        platform::ClosePipe(m_hPipe);
}

void CGtosPipeWorkThread::Work() {
    CTraceScope scope("CGtosPipeWorkThread::Work");
    const platform::HPIPE hPipe = m_hPipe;
    // The loop closes the pipe.
    m_hPipe = platform::INVALID_PIPE_HANDLE;
    ServeGtosConnection(hPipe, [this](EGtosCommand eCommand, const CGtosPipeComm& comm) {
        return Answer(eCommand, comm);
    });
}

std::string CGtosPipeWorkThread::Answer(EGtosCommand eCommand, const CGtosPipeComm& comm) {
    switch (eCommand) {
    case eGtosQuit:
        kTraceAsGtosWork.Inf("Received Quit command, quitting");
        return std::string();
    case eGtosIgnore:
        kTraceAsGtosWork.Inf("Received Ignore command");
        return GtosOutcome(CGtosPipeComm::kCmdIgnore,
                           ChangePrinter(eCommand, comm.m_csUUID, eVexIgnore));
    case eGtosRemove:
        kTraceAsGtosWork.Inf("Received Remove command");
        return GtosOutcome(CGtosPipeComm::kCmdRemove, ChangePrinter(eCommand, comm.m_csUUID, 0));
    case eGtosRestore:
        kTraceAsGtosWork.Inf("Received Restore command");
        return GtosOutcome(CGtosPipeComm::kCmdRestore,
                           ChangePrinter(eCommand, comm.m_csUUID, eVexWaiting));
    case eGtosChangeState:
        kTraceAsGtosWork.Inf("Received change state command");
        return GtosOutcome(CGtosPipeComm::kCmdChangeState,
                           ChangePrinter(eCommand, comm.m_csUUID, comm.m_eNewState));
    case eGtosAddIcon: {
        kTraceAsGtosWork.Inf("Received Add Icon command");
        uint32_t uiWarnings = 0;
        const uint32_t uiResult = AddIcon(comm, &uiWarnings);
        return GtosCreationAnswer(CGtosPipeComm::kCmdAddIcon, uiResult, uiWarnings);
    }
    case eGtosAddIconDefaults: {
        kTraceAsGtosWork.Inf("Received Add Icon with defaults command");
        uint32_t uiWarnings = 0;
        const uint32_t uiResult = AddIconWithDefaults(comm.m_csUUID, &uiWarnings);
        return GtosCreationAnswer(CGtosPipeComm::kCmdAddIconDefaults, uiResult, uiWarnings);
    }
    case eGtosDiscover:
        kTraceAsGtosWork.Inf("Received Discover printers command");
        DiscoverPrinters();
        return GtosOutcome(CGtosPipeComm::kCmdDiscover, true);
    case eGtosUpdateIcons:
        kTraceAsGtosWork.Inf("Received Update Icons command");
        return GtosOutcome(CGtosPipeComm::kCmdUpdateIcons,
                           UpdateIcons(comm.m_csUUID, comm.m_csIconNames, comm.m_eNewState));
    default:
        kTraceAsGtosWork.Wrn("Received unknown command");
        return CGtosPipeComm::kAnswerUnknown;
    }
}

bool CGtosPipeWorkThread::FindChangeablePrinter(const std::string& csUUID, int32_t eNewState,
                                                CPrinter* pPrinter) {
    if (!IsKnownState(eNewState)) {
        kTraceAsGtosWork.Wrn("State %d is no printer state, refused", eNewState);
        return false;
    }
    if (!m_pPrinters->Find(csUUID, *pPrinter))
        return false;
    // A creation under way changes the record itself: the GUI's view is already old.
    if (pPrinter->m_uiFlags & PRT_FLAG_ADDING) {
        kTraceAsGtosWork.Wrn("Printer %s is being created, command refused", csUUID.c_str());
        return false;
    }
    return true;
}

bool CGtosPipeWorkThread::ChangePrinter(EGtosCommand eCommand, const std::string& csUUID,
                                        int32_t eNewState) {
    CPrintersLock lock(*m_pPrinters);
    CPrinter printer;
    if (!FindChangeablePrinter(csUUID, eNewState, &printer))
        return false;
    if (eCommand == eGtosRemove)
        return m_pPrinters->Remove(csUUID);
    printer.m_VexState = eNewState;
    return m_pPrinters->UpdatePrinter(printer);
}

bool CGtosPipeWorkThread::UpdateIcons(const std::string& csUUID, const std::string& csIconNames,
                                      int32_t eNewState) {
    CPrintersLock lock(*m_pPrinters);
    CPrinter printer;
    if (!FindChangeablePrinter(csUUID, eNewState, &printer))
        return false;
    printer.m_csIconName = csIconNames;
    printer.m_VexState = eNewState;
    // A record that already reads so is what the GUI asked for, too.
    m_pPrinters->UpdatePrinter(printer);
    return true;
}

uint32_t GtosPipeWorkThreadProc(SGtosPipeWorkData* pData) {
    CTraceScope scope("GtosPipeWorkThreadProc", TRACE_DET);
    CGtosPipeWorkThread worker(pData);
    worker.Work();
    return 0;
}
