// The service's command listener with its real worker, on a thread of its own,
// over a known printer list in a private system root with the service's trace
// on; and a client that makes one exchange the way the GUI does. A fixture
// given a root runs on it (CommandServerCreationTest gives the root of a
// machine ready to create printers: the spooler with the port monitor, the
// driver package and its installer).
#pragma once

#include "TestSupport.h"
#include "TraceLog.h"
#include "common/GtosPipeComm.h"
#include "common/GtosPipeListenThread.h"
#include "common/PipeMessage.h"
#include "common/Printers.h"
#include "platform/error.h"
#include "platform/root.h"
#include "service/GtosPipeWorkThread.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

class CommandServerFixture : public ::testing::Test {
protected:
    explicit CommandServerFixture(const vextest::TempRoot* pRoot = nullptr)
        : m_pRoot(pRoot ? nullptr : std::make_unique<vextest::TempRoot>()),
          m_log(pRoot ? *pRoot : *m_pRoot,
                TRACE_ERR | TRACE_WRN | TRACE_INF | TRACE_TRC | TRACE_DET) {
        m_printers.SetKplPath(platform::SystemRoot() + "/work/vexkpl.dat");
    }

    // Starts the listener with the given queues (none: no discovery).
    void StartServer(CAdverts* pAdverts = nullptr, CRequests* pRequests = nullptr) {
        m_pListener = std::make_unique<CGtosPipeListenThread>(&m_printers, pAdverts, pRequests,
                                                              GtosPipeWorkThreadProc);
        m_thread = std::thread([this] { m_pListener->Listen(); });
        ASSERT_TRUE(vextest::WaitFor([] {
            return vextest::PipeOffered(kGtosPipeName, platform::PipeAccess::EveryLocalUser);
        }));
    }
    void SetUp() override { StartServer(); }
    void TearDown() override {
        if (m_pListener)
            m_pListener->Stop();
        if (m_thread.joinable())
            m_thread.join();
        m_pListener.reset();
    }

    // A printer in the list with the state given; returns the record stored.
    CPrinter AddPrinter(const std::string& csUUID, int32_t eState,
                        const std::string& csModel = "Laser 1332",
                        const std::string& csIpAddr = "127.0.0.2") {
        CPrinter printer;
        printer.m_csUUID = csUUID;
        printer.m_csIpAddr = csIpAddr;
        printer.m_csPrinterModel = csModel;
        printer.m_VexState = eState;
        EXPECT_TRUE(m_printers.Add(printer));
        return printer;
    }
    CPrinter Stored(const std::string& csUUID) {
        CPrinter printer;
        EXPECT_TRUE(m_printers.Find(csUUID, printer)) << csUUID;
        return printer;
    }

    // One connection: the command, its answer, then "Quit". "<no pipe: ERROR>"
    // or "<no answer>" when the exchange broke.
    static std::string Exchange(const std::string& csCommand) {
        // As patient as the GUI while every instance is busy.
        platform::HPIPE hPipe = OpenPipeClient(kGtosPipeName, kCommandPipeBusyWaitMs);
        if (hPipe == platform::INVALID_PIPE_HANDLE)
            return "<no pipe: " + std::to_string(platform::GetLastError()) + ">";
        std::string csAnswer;
        if (!WritePipeMessage(hPipe, csCommand) || !ReadPipeMessage(hPipe, &csAnswer))
            csAnswer = "<no answer>";
        WritePipeMessage(hPipe, CGtosPipeComm::kCmdQuit);
        platform::ClosePipe(hPipe);
        return csAnswer;
    }

    std::unique_ptr<vextest::TempRoot> m_pRoot;
    CTraceLog m_log;
    CPrinters m_printers;
    std::unique_ptr<CGtosPipeListenThread> m_pListener;
    std::thread m_thread;
};
