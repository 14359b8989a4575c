// CWriteThread: the KPL writer.
#include "service/WriteThread.h"

#include "common/Printers.h"
#include "common/StogPipeComm.h"
#include "common/Trace.h"
#include "platform/clock.h"
#include "service/ThreadData.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace {

// Each round of the writer writes under its loop.
constexpr CTraceName kTraceAsRun("CWriteThread::Run");
// The loop's own entry and exit lines read "CWriteThread:Run", one colon, as
// they always have: those who read the trace look for that text.
constexpr char kWriterLoopName[] = "CWriteThread:Run";

// The pause that lets the GUI take the notification before the endpoint goes.
constexpr uint32_t kNotifyPauseMs = 200;
std::atomic<bool> g_bConsoleEcho{false};

} // namespace

CWriteThread::CWriteThread(CPrinters* pPrinters) : m_pPrinters(pPrinters) {
    CTraceScope scope("CWriteThread:CWriteThread", TRACE_DET);
}

CWriteThread::~CWriteThread() {
    CTraceScope scope("CWriteThread:~CWriteThread", TRACE_DET);
}

void CWriteThread::SetConsoleEcho(bool bEcho) {
    g_bConsoleEcho = bEcho;
}

void CWriteThread::EchoList() {
    std::string csText;
    int nCount = 0;
    m_pPrinters->ForEach([&](const CPrinter& printer) {
        csText += "  " + printer.Describe(1) + "\n";
        ++nCount;
    });
    std::printf("Known printer list written: %d printer(s)\n%s", nCount, csText.c_str());
    std::fflush(stdout);
}

void CWriteThread::Run() {
    CTraceScope scope(kWriterLoopName);
    for (;;)
        RunOnce();
}

void CWriteThread::RunOnce() {
    kTraceAsRun.Inf("Going into wait for changes to known printer list");
    m_pPrinters->WaitForKPLFileNeedsWriting();
    kTraceAsRun.Inf("Change to known printer list occurred");
    bool bLocked = m_pPrinters->LockKPLFile();
    platform::Sleep(kGatherMs);
    m_pPrinters->Write();
    if (bLocked)
        m_pPrinters->UnlockKPLFile();
    kTraceAsRun.Inf("Known printer list written to file");
    if (g_bConsoleEcho)
        EchoList();
    CStogPipeComm stog;
    stog.TellGuiKplUpdated();
    platform::Sleep(kNotifyPauseMs);
}

uint32_t WriteThreadProc(SThreadData* pData) {
    CTraceScope scope("WriteThreadProc", TRACE_DET);
    CWriteThread thread(pData->pPrinters);
    thread.Run();
}
