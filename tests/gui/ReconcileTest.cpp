// The queue names of each printer against the workstation's queues, and the
// first change between two snapshots of the list.
#include "gui/core/Reconcile.h"
#include "GuiTestSupport.h"
#include "TestService.h"
#include "TestSupport.h"
#include "common/Printers.h"
#include "gui/core/KplChanges.h"
#include "gui/core/QueueNames.h"
#include "platform/registry.h"
#include "platform/spooler.h"

#include <gtest/gtest.h>
#include <thread>

using vexguitest::MakePrinter;

TEST(Reconcile, NamesAndStateFollowTheQueues) {
    CQueueNames queues;
    queues.AddQueue("10.0.0.1", "Office");
    queues.AddQueue("10.0.0.1", "Office (2)");
    CPrinter corrected;

    // A waiting printer that got queues becomes "created".
    CPrinter waiting = MakePrinter("a", "10.0.0.1", eVexWaiting);
    ASSERT_TRUE(ReconcilePrinter(waiting, queues, &corrected));
    EXPECT_EQ(corrected.m_csIconName, "Office, Office (2)");
    EXPECT_EQ(corrected.m_VexState, eVexAdded);

    // A created printer whose queue was deleted goes back to waiting.
    CPrinter created = MakePrinter("b", "10.0.0.2", eVexAdded);
    created.m_csIconName = "Gone";
    ASSERT_TRUE(ReconcilePrinter(created, queues, &corrected));
    EXPECT_EQ(corrected.m_csIconName, "");
    EXPECT_EQ(corrected.m_VexState, eVexWaiting);

    // Nothing changed: no correction.
    created.m_csIconName = "Office, Office (2)";
    created.m_csIpAddr = "10.0.0.1";
    EXPECT_FALSE(ReconcilePrinter(created, queues, &corrected));

    // Unsupported printers have no names; ",,," counts as none.
    CPrinter unsupported = MakePrinter("c", "10.0.0.1", eVexUnsupported);
    unsupported.m_csIconName = "Office";
    ASSERT_TRUE(ReconcilePrinter(unsupported, queues, &corrected));
    EXPECT_EQ(corrected.m_csIconName, "");
    EXPECT_EQ(corrected.m_VexState, eVexUnsupported);
    CPrinter commas = MakePrinter("d", "10.0.0.9", eVexIgnore);
    commas.m_csIconName = ",,,";
    ASSERT_TRUE(ReconcilePrinter(commas, queues, &corrected));
    EXPECT_EQ(corrected.m_csIconName, "");
    EXPECT_EQ(corrected.m_VexState, eVexIgnore);

    // Other states keep their state while their names follow.
    CPrinter error = MakePrinter("e", "10.0.0.1", eVexAddError);
    ASSERT_TRUE(ReconcilePrinter(error, queues, &corrected));
    EXPECT_EQ(corrected.m_VexState, eVexAddError);

    // A printer whose queue is being made has it before the service writes the
    // outcome: it is not corrected meanwhile.
    CPrinter adding = MakePrinter("f", "10.0.0.1", eVexWaiting);
    adding.m_uiFlags |= PRT_FLAG_ADDING;
    EXPECT_FALSE(ReconcilePrinter(adding, queues, &corrected));
}

namespace {
void AddMonitorPort(const std::string& csPort, uint8_t a, uint8_t b, uint8_t c, uint8_t d,
                    uint32_t cbConfig = 540) {
    platform::HKEY hKey = nullptr;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE,
                                       std::string(CQueueNames::kPortsKey) + "\\" + csPort, &hKey),
              0u);
    std::vector<uint8_t> config(cbConfig, 0);
    if (cbConfig >= 536) {
        config[532] = a;
        config[533] = b;
        config[534] = c;
        config[535] = d;
    }
    platform::RegSetValueEx(hKey, "configInfo", platform::REG_BINARY, config.data(), cbConfig);
    platform::RegCloseKey(hKey);
}

void AddQueue(const std::string& csName, const std::string& csPort) {
    platform::PRINTER_INFO_2 info{};
    info.pPrinterName = csName.c_str();
    info.pPortName = csPort.c_str();
    info.pDriverName = "Laser PCL6";
    platform::HPRINTER hPrinter = platform::AddPrinter(2, &info);
    ASSERT_NE(hPrinter, nullptr) << csName;
    platform::ClosePrinter(hPrinter);
}
} // namespace

TEST(QueueNames, ReadsQueuesPortsAndTheMonitorsAddresses) {
    vextest::TempRoot root;
    CQueueNames queues;
    EXPECT_FALSE(queues.Load()); // the spooler is not running: unknown, not empty
    ASSERT_TRUE(vextest::StartSpoolerService());
    AddMonitorPort("ZP_1", 10, 0, 0, 9);
    AddMonitorPort("ZP_2", 10, 0, 0, 10);
    AddMonitorPort("ZP_short", 10, 0, 0, 11, 100);
    platform::DRIVER_INFO_3 driver{3, "Laser PCL6", nullptr, "drv.dll", "drv.gpd", "ui.dll"};
    ASSERT_TRUE(platform::AddPrinterDriver(3, &driver));
    for (const char* pszPort : {"ZP_1", "ZP_2", "ZP_short"}) {
        platform::PORT_INFO_2 port{pszPort, nullptr, "", platform::PORT_TYPE_WRITE};
        ASSERT_TRUE(platform::AddPortEx(2, &port, "Standard TCP/IP Port"));
    }
    AddQueue("Nine", "ZP_1");
    AddQueue("Ten", "ZP_2");
    AddQueue("Nine again", "ZP_1");
    AddQueue("Local", "LPT1:");
    AddQueue("Short", "ZP_short");
    ASSERT_TRUE(queues.Load());
    EXPECT_EQ(queues.NamesFor("10.0.0.9"), "Nine, Nine again");
    EXPECT_EQ(queues.NamesFor("10.0.0.10"), "Ten");
    EXPECT_EQ(queues.NamesFor("10.0.0.11"), ""); // a too short configInfo has no address
    EXPECT_EQ(queues.NamesFor("127.0.0.1"), "");
    vextest::StopSpoolerService();
}

TEST(QueueNames, RefreshSeesChangesOfOtherThreadsAndProcesses) {
    vextest::TempRoot root;
    CQueueNames queues;
    EXPECT_FALSE(queues.Refresh()); // the spooler is not running
    ASSERT_TRUE(vextest::StartSpoolerService());
    platform::DRIVER_INFO_3 driver{3, "Laser PCL6", nullptr, "drv.dll", "drv.gpd", "ui.dll"};
    ASSERT_TRUE(platform::AddPrinterDriver(3, &driver));
    AddMonitorPort("ZP_1", 10, 0, 0, 9);
    platform::PORT_INFO_2 port{"ZP_1", nullptr, "", platform::PORT_TYPE_WRITE};
    ASSERT_TRUE(platform::AddPortEx(2, &port, "Standard TCP/IP Port"));
    AddQueue("Nine", "ZP_1");
    ASSERT_TRUE(queues.Refresh());
    EXPECT_EQ(queues.NamesFor("10.0.0.9"), "Nine");
    ASSERT_TRUE(queues.Refresh());
    EXPECT_EQ(queues.NamesFor("10.0.0.9"), "Nine");

    // The monitor moves the port to another address (another reader of the registry).
    std::thread([] { AddMonitorPort("ZP_1", 10, 0, 0, 10); }).join();
    ASSERT_TRUE(queues.Refresh());
    EXPECT_EQ(queues.NamesFor("10.0.0.9"), "");
    EXPECT_EQ(queues.NamesFor("10.0.0.10"), "Nine");
    // A queue added by another program.
    std::string csOutput;
    ASSERT_EQ(vextest::RunProgram(
                  vextest::ProgramPath("vexsys"),
                  {"printer", "add", "Ten", "--port", "ZP_1", "--driver", "Laser PCL6"}, &csOutput),
              0)
        << csOutput;
    ASSERT_TRUE(queues.Refresh());
    EXPECT_EQ(queues.NamesFor("10.0.0.10"), "Nine, Ten");
    // A stopped spooler makes the names unknown again.
    ASSERT_TRUE(vextest::StopSpoolerService());
    EXPECT_FALSE(queues.Refresh());
}

TEST(KplChanges, FirstDifferenceDecidesOneMessage) {
    std::vector<CPrinter> first = {MakePrinter("a", "10.0.0.1", eVexWaiting),
                                   MakePrinter("b", "10.0.0.2", eVexWaiting),
                                   MakePrinter("c", "10.0.0.3", eVexAdded)};
    std::vector<CPrinter> second = first;
    std::string csUUID;
    EXPECT_EQ(FirstChangeMessage(first, second, &csUUID), 0u);

    second[2].m_csHostName = "renamed";
    second[1].m_csMicrocodeLevel = "2.0";
    EXPECT_EQ(FirstChangeMessage(first, second, &csUUID), 148u);
    EXPECT_EQ(csUUID, "b");
    second[1].m_csIpAddr = "10.0.0.22";
    EXPECT_EQ(FirstChangeMessage(first, second, &csUUID), 147u);
    second[1].m_csHostName = "other";
    EXPECT_EQ(FirstChangeMessage(first, second, &csUUID), 146u);

    second = first;
    second[0].m_uiPrtConfig1Var = 0;
    EXPECT_EQ(FirstChangeMessage(first, second, &csUUID), 149u);
    second = first;
    second[2].m_VexState = eVexWaiting;
    EXPECT_EQ(FirstChangeMessage(first, second, &csUUID), 149u);
    EXPECT_EQ(csUUID, "c");

    // Printers that appeared or disappeared are no change; the queue names are not looked at.
    second = {first[2], MakePrinter("z", "10.0.0.9", eVexWaiting)};
    second[0].m_csIconName = "New queue";
    EXPECT_EQ(FirstChangeMessage(first, second, &csUUID), 0u);
}

TEST(KplChanges, SnapshotLeavesIgnoredPrintersOut) {
    CPrinters printers;
    printers.Add(MakePrinter("a", "10.0.0.1", eVexIgnore));
    printers.Add(MakePrinter("b", "10.0.0.2", eVexWaiting));
    printers.Add(MakePrinter("c", "10.0.0.3", eVexAddError));
    const std::vector<CPrinter> snapshot = TakeSnapshot(printers);
    ASSERT_EQ(snapshot.size(), 2u);
    EXPECT_EQ(snapshot[0].m_csUUID, "b");
    EXPECT_EQ(snapshot[1].m_csUUID, "c");
}
