// The emulated spooler: printers, ports, monitors and drivers in a private
// system root, the Win32 sizing protocol of its reads, its own name rules, and
// several processes adding printers at once.
#include "SpoolerReads.h"
#include "TestService.h"
#include "TestSupport.h"

#include "platform/error.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "platform/spooler.h"

#include <gtest/gtest.h>
#include <set>
#include <vector>

using namespace platform;

namespace {

using namespace spoolertest;

bool AddDriver(const char* name, const char* environment = nullptr, uint32_t version = 3) {
    DRIVER_INFO_3 driver{version, name, environment, "drv.dll", "drv.gpd", "ui.dll"};
    return AddPrinterDriver(3, &driver);
}

PRINTER_INFO_2 Record(const char* name,
                      const char* port = "LPT1:", const char* driver = "Laser 1332 PCL6",
                      const char* share = "", uint32_t attributes = 0) {
    return PRINTER_INFO_2{name, share, port, driver, "a comment", "a place", "", attributes};
}

// Adds a printer and closes its handle.
bool Add(const PRINTER_INFO_2& info) {
    HPRINTER h = AddPrinter(2, &info);
    if (h)
        ClosePrinter(h);
    return h != nullptr;
}

class SpoolerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(vextest::StartSpoolerService());
        ASSERT_TRUE(AddDriver("Laser 1332 PCL6"));
    }
    vextest::TempRoot root;
};

TEST_F(SpoolerTest, PrinterLifecycleThroughHandles) {
    PRINTER_INFO_2 info = Record("Laser 1332", "LPT1:", "Laser 1332 PCL6", "IP32_65",
                                 PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_PUBLISHED);
    HPRINTER hAdded = AddPrinter(2, &info);
    ASSERT_NE(hAdded, nullptr) << GetLastError();

    // Another handle, opened by the name in other case, for use only.
    HPRINTER hUse = nullptr;
    ASSERT_TRUE(OpenPrinter("LASER 1332", &hUse, nullptr));
    uint32_t needed = 0;
    EXPECT_FALSE(GetPrinter(hUse, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<uint64_t> storage(needed / 8 + 1);
    auto* buffer = reinterpret_cast<uint8_t*>(storage.data());
    EXPECT_FALSE(GetPrinter(hUse, 2, buffer, needed - 1, &needed));
    ASSERT_TRUE(GetPrinter(hUse, 2, buffer, needed, &needed));
    auto* got = reinterpret_cast<PRINTER_INFO_2*>(buffer);
    EXPECT_STREQ(got->pPrinterName, "Laser 1332");
    EXPECT_STREQ(got->pShareName, "IP32_65");
    EXPECT_STREQ(got->pPortName, "LPT1:");
    EXPECT_STREQ(got->pDriverName, "Laser 1332 PCL6");
    EXPECT_STREQ(got->pComment, "a comment");
    EXPECT_STREQ(got->pLocation, "a place");
    EXPECT_STREQ(got->pSepFile, "");
    EXPECT_EQ(got->Attributes, uint32_t(PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_PUBLISHED));

    // A handle for use may not change or delete the printer.
    PRINTER_INFO_2 renamed = *got;
    renamed.pPrinterName = "Office";
    renamed.Attributes = 0;
    EXPECT_FALSE(SetPrinter(hUse, 2, &renamed, 0));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeletePrinter(hUse));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    // A rename through the adding handle keeps the other handle on the printer.
    ASSERT_TRUE(SetPrinter(hAdded, 2, &renamed, 0)) << GetLastError();
    ASSERT_TRUE(GetPrinter(hUse, 2, buffer, needed, &needed));
    EXPECT_STREQ(got->pPrinterName, "Office");
    EXPECT_EQ(got->Attributes, 0u);
    HPRINTER hOld = nullptr;
    EXPECT_FALSE(OpenPrinter("Laser 1332", &hOld, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);

    ASSERT_TRUE(DeletePrinter(hAdded));
    EXPECT_FALSE(GetPrinter(hUse, 2, buffer, needed, &needed));
    EXPECT_EQ(GetLastError(), ERROR_PRINTER_DELETED);
    EXPECT_TRUE(ClosePrinter(hUse));
    EXPECT_TRUE(ClosePrinter(hAdded));
    EXPECT_FALSE(ClosePrinter(hAdded));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(Printers().empty());
}

TEST_F(SpoolerTest, TheSpoolerJudgesPrinterNamesItself) {
    // A record with nothing but a good name is refused for its port, never for the name.
    PRINTER_INFO_2 bare{};
    bare.pPrinterName = "Fine name";
    EXPECT_EQ(AddPrinter(2, &bare), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PORT);

    for (const char* bad : {"", "   ", "a\\b", "a,b", "tab\there"}) {
        bare.pPrinterName = bad;
        EXPECT_EQ(AddPrinter(2, &bare), nullptr) << bad;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME) << bad;
    }
    std::string longest(MAX_PRINTER_NAME, 'x');
    EXPECT_TRUE(Add(Record(longest.c_str())));
    std::string tooLong(MAX_PRINTER_NAME + 1, 'x');
    EXPECT_FALSE(Add(Record(tooLong.c_str())));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
    // Names the product refuses but the spooler takes.
    EXPECT_TRUE(Add(Record("What? A:printer!")));
}

TEST_F(SpoolerTest, AddingChecksNamesPortsDriversAndShares) {
    ASSERT_TRUE(
        Add(Record("One", "LPT1:", "Laser 1332 PCL6", "SHARED1", PRINTER_ATTRIBUTE_SHARED)));
    EXPECT_FALSE(Add(Record("ONE")));
    EXPECT_EQ(GetLastError(), ERROR_PRINTER_ALREADY_EXISTS);
    EXPECT_FALSE(Add(Record("Two", "LPT9:")));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PORT);
    EXPECT_FALSE(Add(Record("Two", "LPT1:", "Other PCL6")));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);
    // A driver of another environment does not serve this machine.
    ASSERT_TRUE(AddDriver("Other PCL6", "Windows 4.0", 0));
    EXPECT_FALSE(Add(Record("Two", "LPT1:", "Other PCL6")));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);
    EXPECT_FALSE(Add(Record("Two", "LPT1:", "Laser 1332 PCL6", "", PRINTER_ATTRIBUTE_SHARED)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_SHARENAME);
    EXPECT_FALSE(
        Add(Record("Two", "LPT1:", "Laser 1332 PCL6", "shared1", PRINTER_ATTRIBUTE_SHARED)));
    EXPECT_EQ(GetLastError(), NERR_DuplicateShare);
    // An unshared printer keeps its share name without holding it.
    EXPECT_TRUE(Add(Record("Two", "LPT1:", "laser 1332 pcl6", "SHARED1", 0)));
    EXPECT_TRUE(Add(Record("Three", "lpt1:", "Laser 1332 PCL6", "SHARED3",
                           PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_PUBLISHED)));
    EXPECT_TRUE(Add(Record("Four", "FILE:", "Laser 1332 PCL6", "", PRINTER_ATTRIBUTE_PUBLISHED)));

    auto printers = Printers();
    ASSERT_EQ(printers.size(), 4u);
    EXPECT_STREQ(printers[0].pPrinterName, "One");
    EXPECT_STREQ(printers[1].pShareName, "SHARED1");
    EXPECT_EQ(printers[1].Attributes, 0u);
    EXPECT_EQ(printers[2].Attributes,
              uint32_t(PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_PUBLISHED));
    // Publishing needs sharing.
    EXPECT_EQ(printers[3].Attributes, 0u);
}

TEST_F(SpoolerTest, NothingIsPublishedOnWindowsNT4) {
    ASSERT_TRUE(SetEmulatedVersion(4, 0));
    ASSERT_TRUE(Add(Record("Nt", "LPT1:", "Laser 1332 PCL6", "NT",
                           PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_PUBLISHED)));
    auto printers = Printers();
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0].Attributes, uint32_t(PRINTER_ATTRIBUTE_SHARED));
}

TEST_F(SpoolerTest, PortsBelongToMonitors) {
    auto ports = Ports();
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_STREQ(ports[0].pPortName, "LPT1:");
    EXPECT_STREQ(ports[0].pMonitorName, "Local Port");

    PORT_INFO_2 port{"IP_9.8.7.65", nullptr, "Standard TCP/IP Port", PORT_TYPE_WRITE};
    EXPECT_FALSE(AddPortEx(2, &port, "No such monitor"));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINT_MONITOR);
    ASSERT_TRUE(AddPortEx(2, &port, "standard tcp/ip port"));
    EXPECT_FALSE(AddPortEx(2, &port, "Local Port"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    ports = Ports();
    ASSERT_EQ(ports.size(), 4u);
    // The monitor is named as it was installed.
    EXPECT_STREQ(ports[3].pMonitorName, "Standard TCP/IP Port");

    ASSERT_TRUE(Add(Record("On IP", "ip_9.8.7.65")));
    EXPECT_FALSE(DeletePort("IP_9.8.7.65"));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    EXPECT_FALSE(DeleteMonitor(nullptr, "Standard TCP/IP Port"));
    EXPECT_EQ(GetLastError(), ERROR_PRINT_MONITOR_IN_USE);
    HPRINTER h = nullptr;
    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinter("On IP", &h, &all));
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    EXPECT_TRUE(DeletePort("IP_9.8.7.65"));
    EXPECT_FALSE(DeletePort("IP_9.8.7.65"));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PORT);
}

TEST_F(SpoolerTest, MonitorsLoadFromTheSystemDirectory) {
    MONITOR_INFO_2 monitor{"Zantor TCP/IP Network Port", nullptr, "zantornpmon.dll"};
    EXPECT_FALSE(AddMonitor(2, &monitor));
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    vextest::WriteFile(GetSystemDirectory() + "zantornpmon.dll", "monitor");
    ASSERT_TRUE(AddMonitor(2, &monitor));
    EXPECT_FALSE(AddMonitor(2, &monitor));
    EXPECT_EQ(GetLastError(), ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    auto monitors = Monitors();
    ASSERT_EQ(monitors.size(), 3u);
    EXPECT_STREQ(monitors[2].pName, "Zantor TCP/IP Network Port");
    EXPECT_STREQ(monitors[2].pEnvironment, "Windows NT x86");
    EXPECT_STREQ(monitors[2].pDLLName, "zantornpmon.dll");
    EXPECT_TRUE(DeleteMonitor(nullptr, "ZANTOR TCP/IP NETWORK PORT"));
    EXPECT_EQ(Monitors().size(), 2u);
}

TEST_F(SpoolerTest, DriversByEnvironmentAndVersion) {
    ASSERT_TRUE(AddDriver("Laser 1332 PCL6", "Windows 4.0", 0));
    ASSERT_TRUE(AddDriver("Laser 1332 PCL6", "Windows NT x86", 2));
    EXPECT_FALSE(AddDriver("Laser 1332 PCL6", "Windows 3.1", 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ENVIRONMENT);
    // Adding again replaces.
    ASSERT_TRUE(AddDriver("LASER 1332 PCL6", nullptr, 3));

    auto own = Drivers(nullptr);
    ASSERT_EQ(own.size(), 2u);
    std::set<uint32_t> versions{own[0].cVersion, own[1].cVersion};
    EXPECT_EQ(versions, (std::set<uint32_t>{2, 3}));
    EXPECT_STREQ(own[0].pEnvironment, "Windows NT x86");
    EXPECT_EQ(Drivers("Windows 4.0").size(), 1u);
    EXPECT_EQ(Drivers("all").size(), 3u);

    ASSERT_TRUE(Add(Record("Uses it")));
    EXPECT_FALSE(DeletePrinterDriver(nullptr, "Laser 1332 PCL6"));
    EXPECT_EQ(GetLastError(), ERROR_PRINTER_DRIVER_IN_USE);
    EXPECT_TRUE(DeletePrinterDriver("Windows 4.0", "Laser 1332 PCL6"));
    EXPECT_FALSE(DeletePrinterDriver("Windows 4.0", "Laser 1332 PCL6"));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);
}

TEST_F(SpoolerTest, DeletingTheDefaultPrinterClearsTheProfileEntry) {
    std::string device;
    EXPECT_EQ(GetProfileString("windows", "device", ",,,", &device, 256), 3u);
    EXPECT_EQ(device, ",,,");
    ASSERT_TRUE(Add(Record("Keep")));
    ASSERT_TRUE(Add(Record("Gone")));
    ASSERT_TRUE(WriteProfileString("windows", "device", "GONE,Laser 1332 PCL6,LPT1:"));
    EXPECT_EQ(GetProfileString("windows", "device", ",,,", &device, 5), 4u);
    EXPECT_EQ(device, "GONE");

    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HPRINTER h = nullptr;
    ASSERT_TRUE(OpenPrinter("Keep", &h, &all));
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    GetProfileString("windows", "device", ",,,", &device, 256);
    EXPECT_EQ(device, "GONE,Laser 1332 PCL6,LPT1:");
    ASSERT_TRUE(OpenPrinter("Gone", &h, &all));
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    GetProfileString("windows", "device", ",,,", &device, 256);
    EXPECT_EQ(device, ",,,");
}

TEST_F(SpoolerTest, BadCallsFailCleanly) {
    uint32_t needed = 0, returned = 0;
    EXPECT_FALSE(EnumPorts(1, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_LEVEL);
    EXPECT_FALSE(EnumPrinters(0, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // Nothing to list succeeds without a buffer.
    EXPECT_TRUE(EnumPrinters(PRINTER_ENUM_LOCAL, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(AddPrinter(2, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    HPRINTER h = nullptr;
    EXPECT_FALSE(OpenPrinter("", &h, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
    int notAHandle = 0;
    EXPECT_FALSE(GetPrinter(reinterpret_cast<HPRINTER>(&notAHandle), 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(SpoolerTest, NothingAnswersWhileTheSpoolerIsStopped) {
    ASSERT_TRUE(Add(Record("Before")));
    HPRINTER hOpen = nullptr;
    ASSERT_TRUE(OpenPrinter("Before", &hOpen, nullptr));
    ASSERT_TRUE(vextest::StopSpoolerService());

    auto unavailable = [](bool bResult) {
        return !bResult && GetLastError() == RPC_S_SERVER_UNAVAILABLE;
    };
    uint32_t needed = 0, returned = 0;
    EXPECT_TRUE(unavailable(EnumPrinters(PRINTER_ENUM_LOCAL, 2, nullptr, 0, &needed, &returned)));
    EXPECT_TRUE(unavailable(EnumPorts(2, nullptr, 0, &needed, &returned)));
    EXPECT_TRUE(unavailable(EnumMonitors(2, nullptr, 0, &needed, &returned)));
    EXPECT_TRUE(unavailable(EnumPrinterDrivers(nullptr, 3, nullptr, 0, &needed, &returned)));
    HPRINTER h = nullptr;
    EXPECT_TRUE(unavailable(OpenPrinter("Before", &h, nullptr)));
    PRINTER_INFO_2 info = Record("After");
    EXPECT_TRUE(unavailable(AddPrinter(2, &info) != nullptr));
    EXPECT_TRUE(unavailable(GetPrinter(hOpen, 2, nullptr, 0, &needed)));
    EXPECT_TRUE(unavailable(SetPrinter(hOpen, 2, &info, 0)));
    EXPECT_TRUE(unavailable(DeletePrinter(hOpen)));
    PORT_INFO_2 port{"P", nullptr, "", PORT_TYPE_WRITE};
    EXPECT_TRUE(unavailable(AddPortEx(2, &port, "Local Port")));
    EXPECT_TRUE(unavailable(DeletePort("LPT1:")));
    MONITOR_INFO_2 monitor{"M", nullptr, "m.dll"};
    EXPECT_TRUE(unavailable(AddMonitor(2, &monitor)));
    EXPECT_TRUE(unavailable(DeleteMonitor(nullptr, "Local Port")));
    EXPECT_TRUE(unavailable(AddDriver("New PCL6")));
    EXPECT_TRUE(unavailable(DeletePrinterDriver(nullptr, "Laser 1332 PCL6")));
    // The user's profile is no spooler call.
    EXPECT_TRUE(WriteProfileString("windows", "device", "Before,Laser 1332 PCL6,LPT1:"));
    // A handle from before the stop is still released.
    EXPECT_TRUE(ClosePrinter(hOpen));

    ASSERT_TRUE(vextest::StartSpoolerService());
    EXPECT_EQ(Printers().size(), 1u);
}

VEX_TEST_HELPER(add_printers) {
    // args: prefix count
    int count = std::stoi(args.at(1));
    int added = 0;
    for (int i = 0; i < count; ++i) {
        std::string name = args.at(0) + std::to_string(i % 10);
        if (Add(Record(name.c_str())))
            ++added;
        else if (GetLastError() != ERROR_PRINTER_ALREADY_EXISTS)
            return 100;
    }
    return added;
}

TEST_F(SpoolerTest, ProcessesRacingForNamesGetEachNameOnce) {
    // Four processes try the same ten names, each many times.
    std::vector<pid_t> pids;
    for (int i = 0; i < 4; ++i)
        pids.push_back(vextest::StartHelper("add_printers", {"Racer ", "40"}));
    int total = 0;
    for (pid_t pid : pids) {
        int added = vextest::WaitHelper(pid);
        ASSERT_GE(added, 0);
        ASSERT_NE(added, 100);
        total += added;
    }
    EXPECT_EQ(total, 10);
    EXPECT_EQ(Printers().size(), 10u);
}

} // namespace

// Writes args[0] as the calling user's default-printer entry, unless it is
// "-", and prints nothing; the exit code is 0 when the entry then reads args[1].
VEX_TEST_HELPER(profile_device_as) {
    if (args.at(0) != "-" && !WriteProfileString("windows", "device", args.at(0).c_str()))
        return 2;
    std::string device;
    GetProfileString("windows", "device", ",,,", &device, 256);
    return device == args.at(1) ? 0 : 1;
}

TEST_F(SpoolerTest, EachUserHasADefaultPrinterOfHisOwn) {
    if (!vextest::RunningAsRoot())
        GTEST_SKIP() << "needs root to become another user";
    using vextest::Identity;
    ASSERT_TRUE(WriteProfileString("windows", "device", "Mine,Laser 1332 PCL6,LPT1:"));
    EXPECT_EQ(vextest::RunHelperAs(Identity::Administrator, "profile_device_as", {"-", ",,,"}), 0);
    EXPECT_EQ(
        vextest::RunHelperAs(Identity::Administrator, "profile_device_as",
                             {"Theirs,Laser 1332 PCL6,LPT1:", "Theirs,Laser 1332 PCL6,LPT1:"}),
        0);
    std::string device;
    GetProfileString("windows", "device", ",,,", &device, 256);
    EXPECT_EQ(device, "Mine,Laser 1332 PCL6,LPT1:");
}

namespace {
const char kProfiles[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Profiles";

// Another user's default-printer entry, as that user's own profile holds it.
bool SetOtherUsersDevice(const char* pszDevice) {
    HKEY hKey = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, std::string(kProfiles) + "\\424242\\windows", &hKey) !=
        ERROR_SUCCESS)
        return false;
    const bool bOk = RegSetString(hKey, "device", pszDevice) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bOk;
}

std::string OtherUsersDevice() {
    HKEY hKey = nullptr;
    std::string device = "(none)";
    if (RegOpenKeyEx(HKEY_CURRENT_USER, std::string(kProfiles) + "\\424242\\windows", &hKey) ==
        ERROR_SUCCESS) {
        RegQueryString(hKey, "device", &device);
        RegCloseKey(hKey);
    }
    return device;
}

std::string MyDevice() {
    std::string device;
    GetProfileString("windows", "device", ",,,", &device, 256);
    return device;
}

bool Rename(const char* pszFrom, const char* pszTo) {
    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HPRINTER h = nullptr;
    if (!OpenPrinter(pszFrom, &h, &all))
        return false;
    PRINTER_INFO_2 info = Record(pszTo);
    const bool bOk = SetPrinter(h, 2, &info, 0);
    ClosePrinter(h);
    return bOk;
}

} // namespace

TEST_F(SpoolerTest, TheDefaultPrinterFollowsARenameForEveryUser) {
    ASSERT_TRUE(Add(Record("Laser 1332")));
    ASSERT_TRUE(Add(Record("Other")));
    ASSERT_TRUE(WriteProfileString("windows", "device", "Laser 1332,Laser 1332 PCL6,LPT1:"));
    ASSERT_TRUE(SetOtherUsersDevice("laser 1332,Laser 1332 PCL6,LPT1:"));

    ASSERT_TRUE(Rename("Laser 1332", "Reception Laser")) << GetLastError();
    EXPECT_EQ(MyDevice(), "Reception Laser,Laser 1332 PCL6,LPT1:");
    EXPECT_EQ(OtherUsersDevice(), "Reception Laser,Laser 1332 PCL6,LPT1:");

    // Renaming another printer leaves the default alone.
    ASSERT_TRUE(Rename("Other", "Other 2"));
    EXPECT_EQ(MyDevice(), "Reception Laser,Laser 1332 PCL6,LPT1:");

    // The freed name, taken by a new queue, is nobody's default.
    ASSERT_TRUE(Add(Record("Laser 1332")));
    EXPECT_EQ(MyDevice(), "Reception Laser,Laser 1332 PCL6,LPT1:");
}

TEST_F(SpoolerTest, ANewPrinterNeverInheritsAStaleDefault) {
    // Left from a queue that went without this spooler's knowledge.
    ASSERT_TRUE(WriteProfileString("windows", "device", "Laser 1332,Old driver,LPT1:"));
    ASSERT_TRUE(SetOtherUsersDevice("Laser 1332,Old driver,LPT1:"));
    ASSERT_TRUE(Add(Record("Unrelated")));
    EXPECT_EQ(MyDevice(), "Laser 1332,Old driver,LPT1:");
    ASSERT_TRUE(Add(Record("Laser 1332")));
    EXPECT_EQ(MyDevice(), ",,,");
    EXPECT_EQ(OtherUsersDevice(), "(none)");
}

TEST_F(SpoolerTest, DeletingAPrinterClearsEveryUsersDefault) {
    ASSERT_TRUE(Add(Record("Gone")));
    ASSERT_TRUE(SetOtherUsersDevice("Gone,Laser 1332 PCL6,LPT1:"));
    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HPRINTER h = nullptr;
    ASSERT_TRUE(OpenPrinter("Gone", &h, &all));
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    EXPECT_EQ(OtherUsersDevice(), "(none)");
}

TEST_F(SpoolerTest, AJobIsRecordedWithItsPrinterDocumentAndSize) {
    ASSERT_TRUE(Add(Record("Laser 1332")));
    HPRINTER h = nullptr;
    ASSERT_TRUE(OpenPrinter("Laser 1332", &h, nullptr));
    const DOC_INFO_1 doc{"Test page", nullptr, "RAW"};
    const uint32_t uiJob = StartDocPrinter(h, 1, &doc);
    ASSERT_NE(uiJob, 0u) << GetLastError();
    // One job per handle at a time.
    EXPECT_EQ(StartDocPrinter(h, 1, &doc), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_STATE);
    uint32_t uiWritten = 0;
    ASSERT_TRUE(WritePrinter(h, "Hello\f", 6, &uiWritten));
    EXPECT_EQ(uiWritten, 6u);
    ASSERT_TRUE(WritePrinter(h, "abcd", 4, &uiWritten));
    std::vector<JOB_INFO_1> jobs = Jobs(h);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].Status, JOB_STATUS_SPOOLING);
    ASSERT_TRUE(EndDocPrinter(h));

    jobs = Jobs(h);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].JobId, uiJob);
    EXPECT_STREQ(jobs[0].pPrinterName, "Laser 1332");
    EXPECT_STREQ(jobs[0].pDocument, "Test page");
    EXPECT_STREQ(jobs[0].pDatatype, "RAW");
    EXPECT_EQ(jobs[0].Size, 10u);
    EXPECT_EQ(jobs[0].Status, JOB_STATUS_PRINTED);
    EXPECT_GT(jobs[0].Submitted, int64_t(1600000000));
    EXPECT_STRNE(jobs[0].pUserName, "");

    // Written or ended without a job: refused.
    EXPECT_FALSE(WritePrinter(h, "x", 1, &uiWritten));
    EXPECT_EQ(GetLastError(), ERROR_SPL_NO_STARTDOC);
    EXPECT_FALSE(EndDocPrinter(h));
    EXPECT_EQ(GetLastError(), ERROR_SPL_NO_STARTDOC);
    ClosePrinter(h);
}

TEST_F(SpoolerTest, JobsThatCannotPrintAreRefusedOrDiscarded) {
    ASSERT_TRUE(Add(Record("Laser 1332")));
    HPRINTER h = nullptr;
    ASSERT_TRUE(OpenPrinter("Laser 1332", &h, nullptr));
    const DOC_INFO_1 toFile{"Doc", "/tmp/out.prn", nullptr};
    EXPECT_EQ(StartDocPrinter(h, 1, &toFile), 0u);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    const DOC_INFO_1 emf{"Doc", nullptr, "NT EMF 1.008"};
    EXPECT_EQ(StartDocPrinter(h, 1, &emf), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATATYPE);
    EXPECT_EQ(StartDocPrinter(h, 1, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(StartDocPrinter(h, 2, &emf), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_LEVEL);

    // Closed before its end: nothing is left of the job.
    const DOC_INFO_1 doc{"Unfinished", nullptr, nullptr};
    ASSERT_NE(StartDocPrinter(h, 1, &doc), 0u);
    ClosePrinter(h);
    ASSERT_TRUE(OpenPrinter("Laser 1332", &h, nullptr));
    EXPECT_TRUE(Jobs(h).empty());

    // A printer's jobs go with it; a handle to the deleted printer refuses jobs.
    ASSERT_NE(StartDocPrinter(h, 1, &doc), 0u);
    ASSERT_TRUE(EndDocPrinter(h));
    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HPRINTER hAll = nullptr;
    ASSERT_TRUE(OpenPrinter("Laser 1332", &hAll, &all));
    ASSERT_TRUE(DeletePrinter(hAll));
    ClosePrinter(hAll);
    EXPECT_EQ(StartDocPrinter(h, 1, &doc), 0u);
    EXPECT_EQ(GetLastError(), ERROR_PRINTER_DELETED);
    ClosePrinter(h);
    ASSERT_TRUE(Add(Record("Laser 1332")));
    ASSERT_TRUE(OpenPrinter("Laser 1332", &h, nullptr));
    EXPECT_TRUE(Jobs(h).empty());
    ClosePrinter(h);
}
