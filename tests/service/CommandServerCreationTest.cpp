// The command server's "Add Icon" and "Add Icon Defaults" over the real command
// pipe, on a machine that creates printers for real: the spooler with the port
// monitor, the driver package's installer, and printers on port 9100.
#include "CommandServerFixture.h"
#include "CreationMachine.h"

#include "platform/sync.h"
#include "service/IconManager.h"

#include <future>
#include <gtest/gtest.h>

namespace {

// The machine, made before the fixture that runs on its root.
struct SCreationMachineHolder {
    vextest::CCreationMachine m_machine;
};

class CommandServerCreationTest : private SCreationMachineHolder, public CommandServerFixture {
protected:
    CommandServerCreationTest() : CommandServerFixture(&m_machine.Root()) {}
    void SetUp() override {
        ASSERT_TRUE(m_machine.Ready());
        CommandServerFixture::SetUp();
    }

    static std::string AddIconCommand(const std::string& csUUID, const std::string& csIconName,
                                      const std::string& csPortName) {
        SIconInfo info;
        info.csIconName = csIconName;
        info.csPortName = csPortName;
        info.eDriverType = eDriverPcl6;
        info.csComments = "two\nlines";
        std::string csData;
        EXPECT_TRUE(CGtosPipeComm::BuildAddIconCmd(csUUID, info, &csData));
        return csData;
    }
};

TEST_F(CommandServerCreationTest, AddIconWithDefaultsCreatesAQueue) {
    vextest::CFakePrinter device(vextest::LoopbackAddress(1), "Zantor Pressa A");
    ASSERT_TRUE(device.Listening());
    AddPrinter("uuid:a", eVexWaiting, "Zantor Pressa A", device.Address());

    EXPECT_EQ(Exchange("Add Icon Defaults\nuuid:a"), "Add Icon Defaults\n0\n0");
    CPrinter printer = Stored("uuid:a");
    EXPECT_EQ(printer.m_VexState, eVexAdded);
    EXPECT_EQ(printer.m_csIconName, "Zantor Pressa A");
    // Made for the IP address: the record has no host name.
    EXPECT_EQ(printer.m_uiFlags & (PRT_FLAG_ADDING | PRT_FLAG_HOSTNAME_USED), 0u);

    // A second queue for the same printer joins the list of its names.
    EXPECT_EQ(Exchange("Add Icon Defaults\nuuid:a"), "Add Icon Defaults\n0\n0");
    EXPECT_EQ(Stored("uuid:a").m_csIconName, "Zantor Pressa A, Zantor Pressa A (2)");
    EXPECT_TRUE(
        m_log.Has("INF", "(CGtosPipeWorkThread::Work)Received Add Icon with defaults command"));
    EXPECT_TRUE(m_log.Has("TRC", "Exit  (CGtosPipeWorkThread::AddIconWithDefaults) 0"));
}

TEST_F(CommandServerCreationTest, AddIconWithTheDialogsValues) {
    vextest::CFakePrinter device(vextest::LoopbackAddress(2), "Zantor Pressa B");
    ASSERT_TRUE(device.Listening());
    CPrinter printer = AddPrinter("uuid:b", eVexWaiting, "Zantor Pressa B", device.Address());
    printer.m_csIconName = "Older queue";
    printer.m_uiFlags = PRT_FLAG_HOSTNAME_USED;
    m_printers.UpdatePrinter(printer);

    EXPECT_EQ(Exchange(AddIconCommand("uuid:b", "Front desk", "ZANTOR:front")), "Add Icon\n0\n0");
    printer = Stored("uuid:b");
    EXPECT_EQ(printer.m_csIconName, "Older queue, Front desk");
    EXPECT_EQ(printer.m_VexState, eVexAdded);
    EXPECT_EQ(printer.m_uiFlags, 0u);
    EXPECT_TRUE(m_log.Has("INF", "(CGtosPipeWorkThread::Work)Received Add Icon command"));
}

TEST_F(CommandServerCreationTest, AnUnsupportedModelLeavesTheStateUnsupported) {
    vextest::CFakePrinter device(vextest::LoopbackAddress(3), "Zantor Obscura 9");
    ASSERT_TRUE(device.Listening());
    AddPrinter("uuid:c", eVexWaiting, "Zantor Obscura 9", device.Address());
    EXPECT_EQ(Exchange(AddIconCommand("uuid:c", "Obscura", "ZANTOR:obscura")), "Add Icon\n7\n0");
    CPrinter printer = Stored("uuid:c");
    EXPECT_EQ(printer.m_VexState, eVexUnsupported);
    EXPECT_EQ(printer.m_csIconName, "");
    EXPECT_EQ(printer.m_uiFlags, 0u);
    EXPECT_TRUE(
        m_log.Has("ERR", "(CGtosPipeWorkThread::AddIcon)Printer model found to be unsupported"));
}

TEST_F(CommandServerCreationTest, AFailedCreationLeavesTheStateInError) {
    // Nothing answers on the printer's port: the monitor makes no port.
    AddPrinter("uuid:d", eVexWaiting, "Zantor Pressa A", vextest::LoopbackAddress(4));
    const std::string csAnswer = Exchange("Add Icon Defaults\nuuid:d");
    EXPECT_EQ(csAnswer, "Add Icon Defaults\n12\n0");
    EXPECT_EQ(Stored("uuid:d").m_VexState, eVexAddError);
    EXPECT_TRUE(
        m_log.Has("ERR", "(CGtosPipeWorkThread::AddIconWithDefaults)Attempt to add icon failed"));
}

TEST_F(CommandServerCreationTest, NoCreationForAMissingPrinter) {
    EXPECT_EQ(Exchange("Add Icon Defaults\nuuid:none"), "Add Icon Defaults\n2\n0");
    EXPECT_EQ(Exchange(AddIconCommand("uuid:none", "X", "ZANTOR:x")), "Add Icon\n2\n0");
    EXPECT_EQ(m_printers.GetCount(), 0);
}

// While a creation waits for the machine's creation mutex, the printer carries
// the adding flag: every other command on it is refused, and a second creation
// does not start.
TEST_F(CommandServerCreationTest, CommandsDuringACreationAreRefused) {
    vextest::CFakePrinter device(vextest::LoopbackAddress(5), "Zantor Pressa A");
    ASSERT_TRUE(device.Listening());
    const CPrinter before = AddPrinter("uuid:e", eVexWaiting, "Zantor Pressa A", device.Address());
    std::promise<void> release;
    std::promise<void> held;
    std::thread holder([&] {
        platform::NamedMutex mutex(CIconManager::kMutexName);
        platform::NamedMutexLock lock(mutex);
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    auto creation =
        std::async(std::launch::async, [] { return Exchange("Add Icon Defaults\nuuid:e"); });
    ASSERT_TRUE(vextest::WaitFor([&] { return Stored("uuid:e").m_uiFlags & PRT_FLAG_ADDING; }));

    for (const char* pszCommand : {"Ignore\nuuid:e", "Remove\nuuid:e", "Restore\nuuid:e",
                                   "Change state\nuuid:e\n3", "Update Icons\nuuid:e\nX\n2"}) {
        const std::string csAnswer = Exchange(pszCommand);
        EXPECT_EQ(csAnswer.substr(csAnswer.find('\n') + 1), "Failure") << pszCommand;
    }
    EXPECT_EQ(Exchange("Add Icon Defaults\nuuid:e"), "Add Icon Defaults\n2\n0");
    CPrinter adding = before;
    adding.m_uiFlags = PRT_FLAG_ADDING;
    EXPECT_EQ(Stored("uuid:e"), adding);

    release.set_value();
    holder.join();
    EXPECT_EQ(creation.get(), "Add Icon Defaults\n0\n0");
    EXPECT_EQ(Stored("uuid:e").m_VexState, eVexAdded);
    EXPECT_EQ(Stored("uuid:e").m_uiFlags, 0u);
}

} // namespace
