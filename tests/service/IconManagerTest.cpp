// Printer creation end to end: the spooler, its hosted port monitor, the
// driver package's installer and printers answering on port 9100.
#include "CreationMachine.h"
#include "TestService.h"
#include "TestSupport.h"

#include "common/Spooler.h"
#include "common/VexData.h"
#include "platform/error.h"
#include "platform/os.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/spooler.h"
#include "platform/sync.h"
#include "service/IconManager.h"

#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <strings.h>
#include <thread>

using namespace platform;

namespace {

std::string RecordedAddress(const std::string& csPort) {
    HKEY hKey;
    std::string key = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Zantor TCP/IP Network "
                      "Port\\Ports\\" +
                      csPort;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, &hKey) != ERROR_SUCCESS)
        return "";
    uint8_t info[1024];
    uint32_t type = 0, size = sizeof info;
    uint32_t rc = RegQueryValueEx(hKey, "configInfo", &type, info, &size);
    RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS || size < 536)
        return "";
    return std::to_string(info[532]) + "." + std::to_string(info[533]) + "." +
           std::to_string(info[534]) + "." + std::to_string(info[535]);
}

SIconInfo Request(const std::string& csAddress, const std::string& csModel = "Zantor Pressa A") {
    SIconInfo info;
    info.csUUID = "uuid:" + csAddress;
    info.csPortAddress = csAddress;
    info.csPortName = "ZANTOR:" + csAddress;
    info.eDriverType = eDriverPcl6;
    info.csIconName = csModel + " at " + csAddress;
    info.csPrinterModel = csModel;
    return info;
}

std::string Self() {
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, size_t(n > 0 ? n : 0));
}

VEX_TEST_HELPER(installer_exit) {
    return std::stoi(args.at(0));
}

VEX_TEST_HELPER(installer_hang) {
    for (;;)
        ::pause();
}

// Holds "VexIconMutex", says so through a file, and waits to be killed.
VEX_TEST_HELPER(hold_icon_mutex) {
    NamedMutex mutex(CIconManager::kMutexName);
    if (mutex.Wait() != WaitResult::Signaled)
        return 1;
    vextest::WriteFile(args.at(0), "held");
    for (;;)
        ::pause();
}

class IconManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(machine.Ready()); }

    uint32_t Add(const SIconInfo& request, SIconInfo* pActual, uint32_t* puiWarnings) {
        return CIconManager().Add(request, pActual, puiWarnings);
    }

    vextest::CCreationMachine machine;
    SIconInfo actual;
    uint32_t warnings = 0xFFFF;
};

TEST_F(IconManagerTest, CreatesTheQueueWithEveryRequestedValue) {
    vextest::CFakePrinter printer(vextest::LoopbackAddress(1), "Zantor Pressa A");
    ASSERT_TRUE(printer.Listening());
    std::string sepPage = machine.Root().WorkDir() + "sep page.sep";
    vextest::WriteFile(sepPage, "separator");
    std::string marker = machine.Root().Path() + "/injected";
    SIconInfo request = Request(printer.Address());
    request.bShare = true;
    request.csShareName = "PRESSA";
    request.bPublish = true;
    // Hostile texts reach the queue exactly as given, and nothing else runs.
    request.csComments = "\" -d \"x $(touch " + marker + "); `id` \\";
    request.csLocation = "room \"5\\\" -sp \"\\\\\nsecond line\\\\";
    request.csSepPage = sepPage;

    ASSERT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));
    EXPECT_EQ(0u, warnings);
    vextest::SQueueRecord queue;
    ASSERT_TRUE(vextest::ReadQueue(request.csIconName, &queue));
    EXPECT_EQ("Zantor Pressa A PCL6", queue.csDriver);
    EXPECT_EQ(request.csPortName, queue.csPort);
    EXPECT_EQ("PRESSA", queue.csShare);
    EXPECT_EQ(uint32_t(PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_PUBLISHED), queue.dwAttributes);
    EXPECT_EQ(request.csComments, queue.csComment);
    EXPECT_EQ(request.csLocation, queue.csLocation);
    EXPECT_EQ(sepPage, queue.csSepFile);
    EXPECT_EQ(printer.Address(), RecordedAddress(request.csPortName));
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_EQ(request.csIconName, actual.csIconName);

    // The inspection tool shows the queue and the port's printer address.
    std::string output;
    EXPECT_EQ(0, vextest::RunProgram(vextest::ProgramPath("vexsys"), {"printer", "list"}, &output));
    EXPECT_NE(std::string::npos, output.find(request.csIconName)) << output;
    EXPECT_EQ(0, vextest::RunProgram(vextest::ProgramPath("vexsys"),
                                     {"port", "address", request.csPortName}, &output));
    EXPECT_NE(std::string::npos, output.find("address=" + printer.Address())) << output;
}

TEST_F(IconManagerTest, RefusedRequestsComeBackUnchangedWithoutTheMutex) {
    std::string held = machine.Root().Path() + "/held";
    pid_t holder = vextest::StartHelper("hold_icon_mutex", {held});
    ASSERT_TRUE(vextest::WaitFor([&] { return std::filesystem::exists(held); }));
    SIconInfo request = Request("127.0.0.1");
    request.csPortName.clear();
    request.csComments = "kept";
    // Taking the held mutex would block: the answer must come at once.
    auto answer = std::async(std::launch::async, [&] { return Add(request, &actual, &warnings); });
    ASSERT_EQ(std::future_status::ready, answer.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(uint32_t(ICON_BAD_REQUEST), answer.get());
    EXPECT_EQ(0u, warnings);
    EXPECT_EQ("kept", actual.csComments);
    EXPECT_TRUE(actual.csPortName.empty());

    SIconInfo shared = Request("127.0.0.1");
    shared.bShare = true; // without a share name
    EXPECT_EQ(uint32_t(ICON_BAD_REQUEST), Add(shared, &actual, &warnings));
    shared = Request("127.0.0.1");
    shared.eDriverType = eDriverNone;
    EXPECT_EQ(uint32_t(ICON_BAD_REQUEST), Add(shared, &actual, &warnings));
    ::kill(holder, SIGKILL);
    vextest::WaitHelper(holder);
}

TEST_F(IconManagerTest, SpoolerRestartAndCreationsWaitForEachOther) {
    vextest::CFakePrinter printer(vextest::LoopbackAddress(3), "Zantor Pressa A");
    ASSERT_TRUE(printer.Listening());
    std::string held = machine.Root().Path() + "/held";
    pid_t holder = vextest::StartHelper("hold_icon_mutex", {held});
    ASSERT_TRUE(vextest::WaitFor([&] { return std::filesystem::exists(held); }));
    // A creation under way: the restart waits, and the spooler keeps running.
    auto restart = std::async(std::launch::async,
                              [] { return CIconManager::RestartSpoolerBetweenCreations(8); });
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(CSpooler().IsSpoolerRunning()) << "after " << i * 10 << " ms";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(std::future_status::timeout, restart.wait_for(std::chrono::milliseconds(0)));
    ::kill(holder, SIGKILL);
    vextest::WaitHelper(holder);
    ASSERT_EQ(std::future_status::ready, restart.wait_for(std::chrono::seconds(30)));
    EXPECT_TRUE(restart.get());
    EXPECT_TRUE(CSpooler().IsSpoolerRunning());

    // A creation asked for while the mutex is held judges the spooler once it
    // has the mutex, not before: it waits and then creates the queue.
    holder = vextest::StartHelper("hold_icon_mutex", {held + "2"});
    ASSERT_TRUE(vextest::WaitFor([&] { return std::filesystem::exists(held + "2"); }));
    ASSERT_TRUE(vextest::StopSpoolerService());
    auto created = std::async(std::launch::async,
                              [&] { return Add(Request(printer.Address()), &actual, &warnings); });
    EXPECT_EQ(std::future_status::timeout, created.wait_for(std::chrono::milliseconds(200)));
    ASSERT_TRUE(vextest::StartSpoolerService());
    ::kill(holder, SIGKILL);
    vextest::WaitHelper(holder);
    EXPECT_EQ(uint32_t(ICON_OK), created.get());
}

TEST_F(IconManagerTest, UnsharedQueueDropsShareNameAndPublishing) {
    vextest::CFakePrinter printer(vextest::LoopbackAddress(2), "Zantor Pressa A");
    SIconInfo request = Request(printer.Address());
    request.csShareName = "IGNORED";
    request.bPublish = true;
    ASSERT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));
    EXPECT_EQ(uint32_t(ICON_WARN_SHARE_NAME_DROPPED | ICON_WARN_PUBLISH_CHANGED), warnings);
    EXPECT_TRUE(actual.csShareName.empty());
    EXPECT_FALSE(actual.bPublish);
    vextest::SQueueRecord queue;
    ASSERT_TRUE(vextest::ReadQueue(request.csIconName, &queue));
    EXPECT_EQ(0u, queue.dwAttributes);
    EXPECT_EQ("", queue.csShare);
}

TEST_F(IconManagerTest, Nt4SharesWithoutPublishing) {
    ASSERT_TRUE(SetEmulatedVersion(4, 0));
    vextest::CFakePrinter printer(vextest::LoopbackAddress(3), "Zantor Pressa A");
    SIconInfo request = Request(printer.Address());
    request.bShare = true;
    request.csShareName = "NTSHARE";
    request.bPublish = true;
    CIconManager manager;
    manager.SetRequest(request);
    EXPECT_EQ(std::string::npos, manager.BuildCommandLine("/d/").find("PUBLISHED"));
    ASSERT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));
    EXPECT_EQ(uint32_t(ICON_WARN_PUBLISH_CHANGED), warnings);
    EXPECT_FALSE(actual.bPublish);
    vextest::SQueueRecord queue;
    ASSERT_TRUE(vextest::ReadQueue(request.csIconName, &queue));
    EXPECT_EQ(uint32_t(PRINTER_ATTRIBUTE_SHARED), queue.dwAttributes);
}

TEST_F(IconManagerTest, TakenPortNameGivesTheMonitorsNameAndAWarning) {
    vextest::CFakePrinter first(vextest::LoopbackAddress(4), "Zantor Pressa A");
    vextest::CFakePrinter second(vextest::LoopbackAddress(5), "Zantor Pressa B");
    SIconInfo request = Request(first.Address());
    request.csPortName = "ZANTOR:shared";
    ASSERT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));
    EXPECT_EQ(0u, warnings);
    request = Request(second.Address(), "Zantor Pressa B");
    request.csPortName = "ZANTOR:shared";
    ASSERT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));
    EXPECT_EQ(uint32_t(ICON_WARN_OTHER_PORT_NAME), warnings);
    EXPECT_EQ("ZANTOR:shared (2)", actual.csPortName);
    vextest::SQueueRecord queue;
    ASSERT_TRUE(vextest::ReadQueue(request.csIconName, &queue));
    EXPECT_EQ("ZANTOR:shared (2)", queue.csPort);
    EXPECT_EQ(second.Address(), RecordedAddress("ZANTOR:shared (2)"));
    EXPECT_EQ(first.Address(), RecordedAddress("ZANTOR:shared"));
}

TEST_F(IconManagerTest, InstallerExitCodesAndItsTimeLimit) {
    CIconManager manager;
    std::string dir = machine.Root().Path();
    EXPECT_EQ(uint32_t(ICON_MODEL_UNSUPPORTED),
              manager.CallDriverInstaller(QuoteArgument(Self()) + " --vex-helper=installer_exit -6",
                                          dir));
    EXPECT_EQ(
        uint32_t(ICON_FAILED),
        manager.CallDriverInstaller(QuoteArgument(Self()) + " --vex-helper=installer_exit 3", dir));
    EXPECT_EQ(uint32_t(ICON_FAILED), manager.CallDriverInstaller(dir + "/no-such-setup", dir));
    // A hung installer is ended once its (shortened) time is up.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(
        uint32_t(ICON_FAILED),
        manager.CallDriverInstaller(QuoteArgument(Self()) + " --vex-helper=installer_hang", dir));
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(CIconManager::kMinInstallerTimeoutMs));
    // Ended, not waited out: a loaded machine may add seconds, not minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(3 * CIconManager::kMinInstallerTimeoutMs));
}

TEST_F(IconManagerTest, ThePackagesInstallerRefusesWhatItDoesNotKnow) {
    CIconManager manager;
    std::string folder = CVexData().GetDriverPath(eOsXP, eDriverPcl6);
    std::string setup = QuoteArgument(folder + "setup");
    EXPECT_EQ(uint32_t(ICON_MODEL_UNSUPPORTED),
              manager.CallDriverInstaller(setup + " -d \"Unknown PCL6\" \"Windows 4.0\"", folder));
    EXPECT_EQ(uint32_t(ICON_MODEL_UNSUPPORTED),
              manager.CallDriverInstaller(setup + " -i q \"Unknown PCL6\" LPT1:", folder));
    for (const char* bad : {" -i only-two args", " -x", " -i q d p -d d e", "", " -s share"})
        EXPECT_EQ(uint32_t(ICON_FAILED), manager.CallDriverInstaller(setup + bad, folder)) << bad;
    // A port the spooler does not know: the spooler refuses, nothing is made.
    EXPECT_EQ(uint32_t(ICON_FAILED),
              manager.CallDriverInstaller(setup + " -i q \"Laser 1332 PCL6\" NOPORT:", folder));
    vextest::SQueueRecord queue;
    EXPECT_FALSE(vextest::ReadQueue("q", &queue));
}

TEST_F(IconManagerTest, AdditionalDriversOnXpForAModelWithoutNt4Driver) {
    vextest::CFakePrinter printer(vextest::LoopbackAddress(6), "Laser 1332");
    SIconInfo request = Request(printer.Address(), "Laser 1332");
    request.bInstallAddl = true;
    ASSERT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));
    EXPECT_EQ(uint32_t(ICON_WARN_NO_NT_DRIVER), warnings);
    CIconManager manager;
    manager.SetRequest(request);
    EXPECT_TRUE(manager.IsDriverInstalled(eOsWin9x));
    EXPECT_TRUE(manager.IsDriverInstalled(eOsWin2000));
    EXPECT_FALSE(manager.IsDriverInstalled(eOsNT4));

    // A listed model gets its NT 4.0 driver; a failing installer sets its bit.
    vextest::CFakePrinter pressa(vextest::LoopbackAddress(7), "Zantor Pressa B");
    request = Request(pressa.Address(), "Zantor Pressa B");
    request.bInstallAddl = true;
    std::filesystem::remove(CVexData().GetDriverPath(eOsWin9x, eDriverPcl6) + "setup");
    ASSERT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));
    EXPECT_EQ(uint32_t(ICON_WARN_ADDL_9X_FAILED), warnings);
    manager.SetRequest(request);
    EXPECT_TRUE(manager.IsDriverInstalled(eOsNT4));
}

TEST_F(IconManagerTest, AnInstalledDriverStaysUnlessReplaced) {
    vextest::CFakePrinter printer(vextest::LoopbackAddress(8), "Zantor Pressa A");
    SIconInfo request = Request(printer.Address());
    CIconManager before;
    before.SetRequest(request);
    EXPECT_EQ(std::string::npos, before.BuildCommandLine("/d/").find(" -n "));
    ASSERT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));

    CIconManager after;
    after.SetRequest(request);
    std::string line = after.BuildCommandLine("/d/");
    EXPECT_EQ(0u, line.find("\"/d/setup\" -n  -i \"")) << line;
    request.eUseExisting = eUseExistingReplace;
    after.SetRequest(request);
    EXPECT_EQ(std::string::npos, after.BuildCommandLine("/d/").find(" -n "));
    request = Request(printer.Address());
    request.csIconName = "Second queue";
    request.csPortName = "ZANTOR:second";
    EXPECT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));
}

TEST_F(IconManagerTest, FailuresBeforeThePortAndTheirCodes) {
    SIconInfo request = Request("127.0.0.1");
    request.csPortName = "bad*port";
    EXPECT_EQ(uint32_t(ICON_BAD_PORT_NAME), Add(request, &actual, &warnings));
    request = Request("127.0.0.1");
    request.csIconName = "bad,name";
    EXPECT_EQ(uint32_t(ICON_BAD_ICON_NAME), Add(request, &actual, &warnings));
    request = Request("127.0.0.1", "Unknown Model 9");
    EXPECT_EQ(uint32_t(ICON_MODEL_UNSUPPORTED), Add(request, &actual, &warnings));
    request = Request("127.0.0.1");
    request.csSepPage = machine.Root().Path() + "/missing.sep";
    EXPECT_EQ(uint32_t(ICON_BAD_SEPARATOR_PAGE), Add(request, &actual, &warnings));
    request = Request("127.0.0.1");
    request.csComments = std::string(256, 'c');
    EXPECT_EQ(uint32_t(ICON_BAD_COMMENTS), Add(request, &actual, &warnings));
    // The package's installer deleted.
    std::filesystem::remove(CVexData().GetDriverPath(eOsXP, eDriverPcl6) + "setup");
    request = Request("127.0.0.1");
    EXPECT_EQ(uint32_t(ICON_NO_DRIVER_FILES), Add(request, &actual, &warnings));
    ASSERT_TRUE(vextest::StopSpoolerService());
    EXPECT_EQ(uint32_t(ICON_SPOOLER_DOWN), Add(Request("127.0.0.1"), &actual, &warnings));
}

TEST_F(IconManagerTest, MonitorAnswersBecomeResultsAndWarnings) {
    // Nobody listens: the printer refuses the connection.
    SIconInfo request = Request(vextest::LoopbackAddress(9));
    EXPECT_EQ(uint32_t(ICON_PRINTER_SILENT), Add(request, &actual, &warnings));
    vextest::SQueueRecord queue;
    EXPECT_FALSE(vextest::ReadQueue(request.csIconName, &queue));

    // A model the monitor refuses.
    vextest::CFakePrinter refused(vextest::LoopbackAddress(10), "Zantor Pressa B");
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyEx(HKEY_LOCAL_MACHINE,
                             "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Zantor TCP/IP "
                             "Network Port",
                             &hKey));
    RegSetString(hKey, "Unsupported models", "Other;Zantor Pressa B");
    RegCloseKey(hKey);
    request = Request(refused.Address(), "Zantor Pressa A");
    EXPECT_EQ(uint32_t(ICON_MODEL_UNSUPPORTED), Add(request, &actual, &warnings));

    // A read-only community: created, with a warning.
    vextest::CFakePrinter readOnly(vextest::LoopbackAddress(11), "Zantor Pressa A", true);
    request = Request(readOnly.Address());
    EXPECT_EQ(uint32_t(ICON_OK), Add(request, &actual, &warnings));
    EXPECT_EQ(uint32_t(ICON_WARN_READ_ONLY_COMMUNITY), warnings);

    // A name another monitor's port holds (a monitor whose name passes the
    // field check): the monitor's code 60.
    vextest::WriteFile(GetSystemDirectory() + "other.dll", "not a program");
    MONITOR_INFO_2 other{"Zantor TCP Other", nullptr, "other.dll"};
    ASSERT_TRUE(AddMonitor(2, &other));
    PORT_INFO_2 port{"ZANTOR:other", nullptr, "", PORT_TYPE_WRITE};
    ASSERT_TRUE(AddPortEx(2, &port, "Zantor TCP Other"));
    vextest::CFakePrinter printer(vextest::LoopbackAddress(12), "Zantor Pressa A");
    request = Request(printer.Address());
    request.csPortName = "ZANTOR:other";
    EXPECT_EQ(uint32_t(ICON_BAD_PORT_NAME), Add(request, &actual, &warnings));
}

// Another process's creation with default values; exits with its result code.
VEX_TEST_HELPER(create_with_defaults) {
    SIconInfo actual;
    uint32_t warnings = 0;
    return int(CIconManager().AddWithDefaults("uuid:" + args.at(0), args.at(0), "Zantor Pressa A",
                                              args.at(0), &actual, &warnings));
}

TEST_F(IconManagerTest, CreationsAreSerialisedAcrossThreadsAndProcesses) {
    vextest::CFakePrinter a(vextest::LoopbackAddress(13), "Zantor Pressa A");
    vextest::CFakePrinter b(vextest::LoopbackAddress(14), "Zantor Pressa A");
    vextest::CFakePrinter c(vextest::LoopbackAddress(15), "Zantor Pressa A");
    CVexData().SetSharePrinter(false);
    // A creator holds the mutex: the others wait for it, and go on once it dies.
    std::string held = machine.Root().Path() + "/held";
    pid_t holder = vextest::StartHelper("hold_icon_mutex", {held});
    ASSERT_TRUE(vextest::WaitFor([&] { return std::filesystem::exists(held); }));
    SIconInfo actualA, actualB;
    uint32_t warningsA = 0, warningsB = 0;
    auto first = std::async(std::launch::async, [&] {
        return CIconManager().AddWithDefaults("uuid:a", a.Address(), "Zantor Pressa A", a.Address(),
                                              &actualA, &warningsA);
    });
    auto second = std::async(std::launch::async, [&] {
        return CIconManager().AddWithDefaults("uuid:b", b.Address(), "Zantor Pressa A", b.Address(),
                                              &actualB, &warningsB);
    });
    pid_t other = vextest::StartHelper("create_with_defaults", {c.Address()});
    EXPECT_EQ(std::future_status::timeout, first.wait_for(std::chrono::milliseconds(300)));
    ::kill(holder, SIGKILL);
    vextest::WaitHelper(holder);
    EXPECT_EQ(uint32_t(ICON_OK), first.get());
    EXPECT_EQ(uint32_t(ICON_OK), second.get());
    EXPECT_EQ(0, vextest::WaitHelper(other));
    // Each proposal saw the queues made before it: one plain name, two numbered.
    vextest::SQueueRecord queue;
    EXPECT_TRUE(vextest::ReadQueue("Zantor Pressa A", &queue));
    EXPECT_TRUE(vextest::ReadQueue("Zantor Pressa A (2)", &queue));
    EXPECT_TRUE(vextest::ReadQueue("Zantor Pressa A (3)", &queue));
    EXPECT_NE(actualA.csIconName, actualB.csIconName);
    EXPECT_EQ("ZANTOR:" + a.Address(), actualA.csPortName);
}

} // namespace
