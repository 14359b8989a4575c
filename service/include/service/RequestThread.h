// CRequestThread: one request worker. It takes accepted advertisements one at
// a time and brings the known printer list up to date: new printers are
// added, known ones refreshed, each printer is asked for its configuration
// word, and by the operating mode a new printer's queue is created at once,
// the user is told, or the printer is only listed.
//
// kWorkers of them run at once, so that printers that answer late, or never,
// hold only their own worker. The list's lock is held only for look-ups and
// updates, never during network queries, queue creation or a notification of
// the GUI; the extra information's processing flag marks a printer whose
// request is in progress, and keeps a second worker off it: a request that
// finds the flag set and brings news is kept in the queue and run by the
// processing worker when it is done.
#pragma once

#include "service/Requests.h"

#include <cstdint>
#include <functional>
#include <string>

class CPrinter;
class CPrinterExtraInfo;
class CPrinters;
class CPrintersLock;
class CXml;
class CHttpSocket;
class CTraceName;
struct SThreadData;

// The automatic creation of a printer's queue with the default values, given
// UUID, port address, model and IP address: the result code (0 created, 7
// model not supported, other values failures) and the created queue's name.
using AddWithDefaultsProc = std::function<int(
    const std::string& csUUID, const std::string& csPortAddr, const std::string& csModel,
    const std::string& csIpAddr, std::string* pcsIconName)>;

class CRequestThread {
public:
    // The largest answer a printer may send; a description is a few KB.
    static constexpr size_t kMaxAnswerSize = 1024 * 1024;
    // The longest time one answer may take, however the printer trickles it.
    static constexpr uint32_t kAnswerTimeLimitMs = 15000;
    // Request workers. A new printer costs two round trips: 10,000 printers
    // at 20 ms wait 400 s in all, 6 s spread over 64 workers. An idle worker
    // costs a waiting thread.
    static constexpr int kWorkers = 64;

    CRequestThread(CRequests* pRequests, CPrinters* pPrinters);
    virtual ~CRequestThread();
    CRequestThread(const CRequestThread&) = delete;
    CRequestThread& operator=(const CRequestThread&) = delete;

    // What creates a queue: CIconManager::AddWithDefaults, unless a test puts
    // its own in (null restores it).
    static void SetAddWithDefaults(AddWithDefaultsProc proc);

    [[noreturn]] void Run();
    // One request: waits for it and handles it, with the requests kept
    // meanwhile for its printer.
    void RunOnce();

    void HandleAlive(SRequest request);
    void HandleByeBye(SRequest request);

    // The printer queries.
    bool GetDeviceDescription(const SRequest& request, std::string* pcsData);
    bool ParseDeviceDescription(const std::string& csData, std::string* pcsStateVarURL,
                                int32_t* piStateVarPort);
    bool GetStateVariable(const std::string& csStateVarURL, int32_t iStateVarPort,
                          const SRequest& request, std::string* pcsData);
    bool ParseStateVariable(const std::string& csData, uint32_t* puiConfig1Var);
    // The position behind the status line "HTTP/1.x 200 OK", or npos.
    static size_t CheckHttpReturnCode(const std::string& csData);
    static bool ParseAnswerBody(const CTraceName& name, const std::string& csData, CXml* pXml);

    // The exact bytes of the two requests.
    static std::string BuildDescriptionRequest(const SRequest& request);
    static std::string BuildStateVariableRequest(const std::string& csStateVarURL,
                                                 int32_t iStateVarPort, const SRequest& request);

private:
    // Reads the answer until the printer closes; false when it is too large.
    bool ReadAnswer(CHttpSocket& socket, const CTraceName& name, std::string* pcsData);
    bool Query(const CTraceName& name, const std::string& csAddress, int32_t iPort,
               const std::string& csRequest, std::string* pcsData);
    // The steps of an alive. 1-3, under the lock: look the printer up, add it
    // or claim it; false when the request ends there.
    bool ClaimPrinter(const SRequest& request, CPrintersLock& lock, CPrinter* pPrinter,
                      CPrinterExtraInfo* pExtra, bool* pbNew);
    // 4-6, without the lock: the state variable's address (cached or from
    // the description) and the configuration word.
    uint32_t QueryConfigWord(const SRequest& request, const CPrinter& printer,
                             const CPrinterExtraInfo& extra, std::string* pcsStateVarURL,
                             int32_t* piStateVarPort);
    // 8, the automatic mode: creates the new printer's queue without the
    // lock, then records the outcome under it; false when the printer went.
    bool AddQueue(const SRequest& request, CPrintersLock& lock, CPrinter* pPrinter);
    // 9, under the lock: the advert's values and the cached address written
    // back, the processing flag cleared.
    void WriteBack(const SRequest& request, uint32_t uiConfig1Var, const std::string& csStateVarURL,
                   int32_t iStateVarPort, CPrinter* pPrinter);
    // Step 10 of an alive: tell a running GUI, or start one.
    void PromptUser();
    // Runs a request by its method.
    void Handle(SRequest request);
    // A request for a printer that another worker processes: kept when it
    // brings news, else traced and dropped.
    void KeepForLater(const SRequest& request, const CPrinter& printer,
                      const CPrinterExtraInfo& extra);
    // Whether the list's caps let the request's new printer in; a refusal is
    // traced. Called under the list lock.
    bool Admitted(const SRequest& request);

    CRequests* m_pRequests;
    CPrinters* m_pPrinters;
    // What the last request did: set the printer's processing flag, or was kept.
    bool m_bClaimed = false;
    bool m_bKept = false;
};

uint32_t RequestThreadProc(SThreadData* pData);
