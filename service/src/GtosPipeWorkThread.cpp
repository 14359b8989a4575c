// The service's command server: the command loop of one GUI connection and the
// commands that change the known printer list.
#include "service/GtosPipeWorkThread.h"

#include "common/PipeMessage.h"
#include "common/Printers.h"
#include "common/Trace.h"
#include "platform/error.h"

namespace {

// The states a printer record may hold; the GUI's commands may set no other.
bool IsKnownState(int32_t eState) {
    return eState >= eVexUnknown && eState <= eVexUnsupported;
}

std::string Outcome(const char* pszWord, bool bSuccess) {
    return std::string(pszWord) + "\n" +
           (bSuccess ? CGtosPipeComm::kAnswerSuccess : CGtosPipeComm::kAnswerFailure);
}

// "Add Icon" LF code ("%d") LF warnings ("%u").
std::string CreationAnswer(const char* pszWord, uint32_t uiResult, uint32_t uiWarnings) {
    return std::string(pszWord) + "\n" + std::to_string(int32_t(uiResult)) + "\n" +
           std::to_string(uiWarnings);
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
    std::string csData;
    while (ReadPipeMessage(m_hPipe, &csData)) {
        CGtosPipeComm comm;
        const EGtosCommand eCommand = comm.ParseCmdFromGui(csData);
        const std::string csAnswer = Answer(eCommand, comm);
        if (eCommand == eGtosQuit)
            continue;
        if (!WritePipeMessage(m_hPipe, csAnswer)) {
            TraceErr("(CGtosPipeWorkThread::Work)Write to pipe failed, quitting");
            break;
        }
    }
    const uint32_t dwError = platform::GetLastError();
    // The GUI closing its end is the normal end of a connection, and a stop of
    // the listener the normal end of the service.
    if (dwError != platform::ERROR_BROKEN_PIPE && dwError != platform::ERROR_NO_DATA &&
        dwError != platform::ERROR_OPERATION_ABORTED)
        TraceWrn("(CGtosPipeWorkThread::Work)Connection ended : %s",
                 platform::ErrorText(dwError).c_str());
    platform::FlushPipe(m_hPipe);
    platform::DisconnectNamedPipe(m_hPipe);
    platform::ClosePipe(m_hPipe);
    m_hPipe = platform::INVALID_PIPE_HANDLE;
}

std::string CGtosPipeWorkThread::Answer(EGtosCommand eCommand, const CGtosPipeComm& comm) {
    switch (eCommand) {
    case eGtosQuit:
        TraceInf("(CGtosPipeWorkThread::Work)Received Quit command, quitting");
        return std::string();
    case eGtosIgnore:
        TraceInf("(CGtosPipeWorkThread::Work)Received Ignore command");
        return Outcome(CGtosPipeComm::kCmdIgnore,
                       ChangePrinter(eCommand, comm.m_csUUID, eVexIgnore));
    case eGtosRemove:
        TraceInf("(CGtosPipeWorkThread::Work)Received Remove command");
        return Outcome(CGtosPipeComm::kCmdRemove, ChangePrinter(eCommand, comm.m_csUUID, 0));
    case eGtosRestore:
        TraceInf("(CGtosPipeWorkThread::Work)Received Restore command");
        return Outcome(CGtosPipeComm::kCmdRestore,
                       ChangePrinter(eCommand, comm.m_csUUID, eVexWaiting));
    case eGtosChangeState:
        TraceInf("(CGtosPipeWorkThread::Work)Received change state command");
        return Outcome(CGtosPipeComm::kCmdChangeState,
                       ChangePrinter(eCommand, comm.m_csUUID, comm.m_eNewState));
    case eGtosAddIcon: {
        TraceInf("(CGtosPipeWorkThread::Work)Received Add Icon command");
        uint32_t uiWarnings = 0;
        const uint32_t uiResult = AddIcon(comm, &uiWarnings);
        return CreationAnswer(CGtosPipeComm::kCmdAddIcon, uiResult, uiWarnings);
    }
    case eGtosAddIconDefaults: {
        TraceInf("(CGtosPipeWorkThread::Work)Received Add Icon with defaults command");
        uint32_t uiWarnings = 0;
        const uint32_t uiResult = AddIconWithDefaults(comm.m_csUUID, &uiWarnings);
        return CreationAnswer(CGtosPipeComm::kCmdAddIconDefaults, uiResult, uiWarnings);
    }
    case eGtosDiscover:
        TraceInf("(CGtosPipeWorkThread::Work)Received Discover printers command");
        DiscoverPrinters();
        return Outcome(CGtosPipeComm::kCmdDiscover, true);
    case eGtosUpdateIcons:
        TraceInf("(CGtosPipeWorkThread::Work)Received Update Icons command");
        return Outcome(CGtosPipeComm::kCmdUpdateIcons,
                       UpdateIcons(comm.m_csUUID, comm.m_csIconNames, comm.m_eNewState));
    default:
        TraceWrn("(CGtosPipeWorkThread::Work)Received unknown command");
        return CGtosPipeComm::kAnswerUnknown;
    }
}

bool CGtosPipeWorkThread::FindChangeablePrinter(const std::string& csUUID, int32_t eNewState,
                                                CPrinter* pPrinter) {
    if (!IsKnownState(eNewState)) {
        TraceWrn("(CGtosPipeWorkThread::Work)State %d is no printer state, refused", eNewState);
        return false;
    }
    if (!m_pPrinters->Find(csUUID, *pPrinter))
        return false;
    // A creation under way changes the record itself: the GUI's view is already old.
    if (pPrinter->m_uiFlags & PRT_FLAG_ADDING) {
        TraceWrn("(CGtosPipeWorkThread::Work)Printer %s is being created, command refused",
                 csUUID.c_str());
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
