// The command server's discovery run: two SSDP searches whose answers go into
// the adverts queue, then waits until the advert and request threads have
// worked them off, so that the GUI finds them in the list when the answer
// comes.
#include "service/GtosPipeWorkThread.h"

#include "common/Printers.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/clock.h"
#include "service/Adverts.h"
#include "service/Requests.h"
#include "service/Ssdp.h"
#include "service/SsdpSocket.h"
#include "service/TraceText.h"

#include <chrono>
#include <cstring>

namespace {

// The search's steps write under the command's routine.
constexpr CTraceName kTraceAsDiscoverPrinters("CGtosPipeWorkThread::DiscoverPrinters");

constexpr int kSearchPasses = 2;
// How long a pass collects answers after its search went out.
constexpr uint32_t kSearchWindowMs = 5000;
constexpr uint32_t kPollMs = 100;
// Checks in a row that must find the queue empty (or no printer processing).
constexpr int kQuietChecks = 3;
constexpr int kReceiveBufferLen = 1000;
// The longest wait for the list writer, in polls: a writer that cannot write
// must not hold the GUI's answer for long.
constexpr int kWriteWaitPolls = 50;

// Polls until bQuiet() holds kQuietChecks times in a row, with the trace
// lines of that wait under the waiting routine's name.
template <typename Quiet>
void WaitQuiet(const CTraceName& name, Quiet bQuiet, const char* pszQuietLine,
               const char* pszBusyLine) {
    for (int nQuiet = 0;;) {
        if (bQuiet()) {
            ++nQuiet;
            name.Det(pszQuietLine, nQuiet);
            if (nQuiet == kQuietChecks)
                return;
        } else {
            name.Det("%s", pszBusyLine);
            nQuiet = 0;
        }
        platform::Sleep(kPollMs);
    }
}

} // namespace

bool CGtosPipeWorkThread::DiscoverPrinters() {
    CTraceScope scope("CGtosPipeWorkThread::DiscoverPrinters");
    if (!m_pAdverts || !m_pRequests) {
        scope.Err("No work queues, nothing searched");
        return true;
    }
    SearchPasses();

    while (!m_pAdverts->IsEmpty()) {
        scope.Det("Adverts list not empty, sleeping a "
                  "while...");
        platform::Sleep(kPollMs);
    }
    scope.Inf("Adverts list empty");

    // Idle, not only empty: a request taken by a worker is not worked off yet.
    WaitQuiet(
        scope, [this] { return m_pRequests->IsIdle(); }, "Requests list empty, time #%d",
        "Requests list not empty, sleeping a while...");
    scope.Inf("Requests list empty");

    WaitQuiet(
        scope, [this] { return !AnyPrinterProcessing(); },
        "No printers currently processing, time #%d",
        "Found a processing printer, sleeping a while...");
    scope.Inf("No printers currently processing");

    // The GUI reloads the list file when the answer comes: the writer stores
    // the run's changes first (it waits 700 ms to gather them).
    for (int i = 0; m_pPrinters->KPLFileNeedsWriting() && i < kWriteWaitPolls; ++i)
        platform::Sleep(kPollMs);
    scope.Inf("Known printer list %s",
              m_pPrinters->KPLFileNeedsWriting() ? "still not written" : "written");
    return true;
}

void CGtosPipeWorkThread::SearchPasses() {
    CSsdpSocket socket;
    if (!socket.Init(0))
        return;
    const std::string csSearch = CSsdp::BuildSearchRequest();
    const int iTTL = int(CVexData().GetTTL());
    using Clock = std::chrono::steady_clock;
    for (int iPass = 0; iPass < kSearchPasses; ++iPass) {
        if (!socket.Send(iTTL, SSDP_PORT, SSDP_MULTICAST_ADDR, csSearch))
            return;
        kTraceAsDiscoverPrinters.Det("Data sent:\n%s", IndentForTrace(csSearch).c_str());
        const Clock::time_point windowEnd =
            Clock::now() + std::chrono::milliseconds(platform::ScaledDelay(kSearchWindowMs));
        for (;;) {
            // A time-out of 0 would wait without limit: a window that is over
            // ends the pass instead.
            const long lRemaining = long(
                std::chrono::ceil<std::chrono::milliseconds>(windowEnd - Clock::now()).count());
            if (lRemaining <= 0)
                break;
            char szBuffer[kReceiveBufferLen];
            std::memset(szBuffer, 0, sizeof szBuffer);
            SAdvert advert;
            if (!socket.TimedReceive(SSDP_MULTICAST_ADDR, lRemaining, szBuffer, sizeof szBuffer,
                                     &advert.csIpAddr, &advert.csHostName)) {
                kTraceAsDiscoverPrinters.Err("receiving data from socket "
                                             "failed");
                return;
            }
            kTraceAsDiscoverPrinters.Det("Data received:\n%s", IndentForTrace(szBuffer).c_str());
            // A time-out leaves the sender's address empty; an empty datagram
            // is dropped and does not end the pass early.
            if (advert.csIpAddr.empty())
                break;
            if (szBuffer[0] == '\0')
                continue;
            advert.csData = szBuffer;
            m_pAdverts->Add(advert);
        }
    }
}

bool CGtosPipeWorkThread::AnyPrinterProcessing() {
    bool bProcessing = false;
    m_pPrinters->ForEach([&](const CPrinter&, const CPrinterExtraInfo* pExtraInfo) {
        bProcessing = pExtraInfo && (pExtraInfo->m_uiFlags & EXTRA_FLAG_PROCESSING);
        return !bProcessing;
    });
    return bProcessing;
}
