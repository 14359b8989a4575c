// CWriteThread: stores the known printer list in the KPL file after every
// change and tells a running GUI. It waits 700 ms after the first change, so
// that the changes of that time go into one write and one notification.
#pragma once

#include <cstdint>

class CPrinters;
struct SThreadData;

class CWriteThread {
public:
    // The gathering pause before each write.
    static constexpr uint32_t kGatherMs = 700;

    explicit CWriteThread(CPrinters* pPrinters);
    virtual ~CWriteThread();
    CWriteThread(const CWriteThread&) = delete;
    CWriteThread& operator=(const CWriteThread&) = delete;

    // Debug mode: after each write the list is shown on the console too.
    static void SetConsoleEcho(bool bEcho);

    [[noreturn]] void Run();
    // One round: waits for a change, gathers, writes, notifies.
    void RunOnce();

private:
    void EchoList();

    CPrinters* m_pPrinters;
};

uint32_t WriteThreadProc(SThreadData* pData);
