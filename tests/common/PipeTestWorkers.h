// Workers for the pipe listeners in tests: the command worker runs the command
// server's own connection loop, the notification worker serves the way the
// GUI's handler does (one answer per message, none to "Quit", until the other
// end closes); both record what they parsed and answer by simple rules
// instead of doing the work.
#pragma once

#include "TestSupport.h"
#include "common/GtosCommandLoop.h"
#include "common/GtosPipeComm.h"
#include "common/GtosPipeListenThread.h"
#include "common/PipeMessage.h"
#include "common/StogPipeComm.h"
#include "common/StogPipeListenThread.h"
#include "platform/root.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What a command worker parsed from one message.
struct SParsedCommand {
    int eCommand = -1;
    std::string csUUID;
    int32_t eNewState = 0;
    std::string csIconNames; // "Update Icons"
    SIconInfo info;          // the "Add Icon" values
};

struct SCommandLog {
    std::mutex mutex;
    std::vector<SParsedCommand> commands; // in the order parsed
    std::atomic<int> nAnswers{0};         // answers given (not to "Quit")
    std::atomic<int> nConnections{0};

    std::vector<SParsedCommand> Copy() {
        std::lock_guard lock(mutex);
        return commands;
    }
};

// The answer the test worker gives, in the command server's forms: "Failure"
// for the UUID "fail"; for "Add Icon" the result code and warnings named by
// the queue name ("rc=7", "warn=12"); "Unknown" to "Update Icons" for the
// UUID "old", as a service that lacks it.
inline std::string TestAnswer(EGtosCommand eCommand, const CGtosPipeComm& comm) {
    const bool bSuccess = comm.m_csUUID != "fail";
    switch (eCommand) {
    case eGtosIgnore:
        return GtosOutcome(CGtosPipeComm::kCmdIgnore, bSuccess);
    case eGtosRemove:
        return GtosOutcome(CGtosPipeComm::kCmdRemove, bSuccess);
    case eGtosRestore:
        return GtosOutcome(CGtosPipeComm::kCmdRestore, bSuccess);
    case eGtosChangeState:
        return GtosOutcome(CGtosPipeComm::kCmdChangeState, bSuccess);
    case eGtosDiscover:
        return GtosOutcome(CGtosPipeComm::kCmdDiscover, true);
    case eGtosUpdateIcons:
        return comm.m_csUUID == "old" ? CGtosPipeComm::kAnswerUnknown
                                      : GtosOutcome(CGtosPipeComm::kCmdUpdateIcons, bSuccess);
    case eGtosAddIconDefaults:
        return GtosCreationAnswer(CGtosPipeComm::kCmdAddIconDefaults, 0, 0);
    case eGtosAddIcon: {
        uint32_t uiResult = 0;
        uint32_t uiWarnings = 0;
        if (comm.m_IconInfo.csIconName.rfind("rc=", 0) == 0)
            uiResult = uint32_t(std::stoi(comm.m_IconInfo.csIconName.substr(3)));
        if (comm.m_IconInfo.csIconName.rfind("warn=", 0) == 0)
            uiWarnings = uint32_t(std::stoul(comm.m_IconInfo.csIconName.substr(5)));
        return GtosCreationAnswer(CGtosPipeComm::kCmdAddIcon, uiResult, uiWarnings);
    }
    default:
        return CGtosPipeComm::kAnswerUnknown;
    }
}

// The command server's own connection loop, with answers by TestAnswer.
inline uint32_t TestCommandWorker(SGtosPipeWorkData* pData, SCommandLog* pLog) {
    platform::HPIPE hPipe = pData->hPipe;
    delete pData;
    ++pLog->nConnections;
    ServeGtosConnection(hPipe, [pLog](EGtosCommand eCommand, const CGtosPipeComm& comm) {
        SParsedCommand parsed;
        parsed.eCommand = eCommand;
        parsed.csUUID = comm.m_csUUID;
        parsed.eNewState = comm.m_eNewState;
        parsed.csIconNames = comm.m_csIconNames;
        parsed.info = comm.m_IconInfo;
        {
            std::lock_guard lock(pLog->mutex);
            pLog->commands.push_back(parsed);
        }
        if (eCommand == eGtosQuit)
            return std::string();
        ++pLog->nAnswers;
        return TestAnswer(eCommand, comm);
    });
    return 0;
}

struct SNotificationLog {
    std::mutex mutex;
    std::vector<int> notifications;
    std::atomic<int> nConnections{0};
    std::atomic<int> nRunning{0};
    std::atomic<int> nMostRunning{0};

    std::vector<int> Copy() {
        std::lock_guard lock(mutex);
        return notifications;
    }
};

inline uint32_t TestNotificationWorker(platform::HPIPE hPipe, SNotificationLog* pLog) {
    ++pLog->nConnections;
    const int nRunning = ++pLog->nRunning;
    for (int nMost = pLog->nMostRunning; nRunning > nMost;)
        pLog->nMostRunning.compare_exchange_weak(nMost, nRunning);
    for (std::string csData; ReadPipeMessage(hPipe, &csData);) {
        CStogPipeComm comm;
        const EStogNotification eNotification = comm.ParseData(csData);
        {
            std::lock_guard lock(pLog->mutex);
            pLog->notifications.push_back(eNotification);
        }
        if (eNotification == eStogQuit)
            break;
        const char* pszAnswer = eNotification == eStogUnknown ? CStogPipeComm::kAnswerUnknown
                                                              : CStogPipeComm::kAnswerSuccess;
        if (!WritePipeMessage(hPipe, pszAnswer))
            break;
    }
    --pLog->nRunning;
    platform::FlushPipe(hPipe);
    platform::DisconnectNamedPipe(hPipe);
    platform::ClosePipe(hPipe);
    return 0;
}

// The service's command listener with the test worker, on a thread of its own.
class CTestCommandServer {
public:
    CTestCommandServer()
        : m_listener(nullptr, nullptr, nullptr,
                     [this](SGtosPipeWorkData* pData) { return TestCommandWorker(pData, &log); }),
          m_thread([this] { m_listener.Listen(); }) {
        vextest::WaitFor([] {
            return vextest::PipeOffered(kGtosPipeName, platform::PipeAccess::EveryLocalUser);
        });
    }
    ~CTestCommandServer() { Stop(); }
    void Stop() {
        m_listener.Stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    SCommandLog log;

private:
    CGtosPipeListenThread m_listener;
    std::thread m_thread;
};

// The GUI's notification listener with the test worker, on a thread of its own.
class CTestNotificationServer {
public:
    CTestNotificationServer()
        : m_listener([this](platform::HPIPE hPipe) { return TestNotificationWorker(hPipe, &log); }),
          m_thread([this] { m_listener.Listen(); }) {
        vextest::WaitFor(
            [] { return vextest::PipeOffered(kStogPipeName, platform::PipeAccess::Default); });
    }
    ~CTestNotificationServer() { Stop(); }
    void Stop() {
        m_listener.Stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    SNotificationLog log;

private:
    CStogPipeListenThread m_listener;
    std::thread m_thread;
};
