// The machine's spooler on Windows: printers added, read, renamed, enumerated
// and deleted, ports and monitors, drivers, a job written and listed, and the
// profile's default printer. Names carry the process id: ctest runs the test
// programs at once and the spooler is the machine's.
#include "platform/spooler.h"
#include "Helpers.h"
#include "SpoolerReads.h"
#include "platform/error.h"
#include "platform/os.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <thread>

using namespace platform;
using namespace spoolertest;

namespace {

const std::string kDriver = win32test::UniqueName("Vex Test Driver");

// The files of the test driver in the spooler's driver folder, where the
// system looks for a driver's files.
void LayDriverFiles() {
    const std::filesystem::path folder =
        std::filesystem::path(GetSystemDirectory()) / "spool" / "drivers" / "x64";
    for (const auto& sub : {folder, folder / "3"}) {
        std::filesystem::create_directories(sub);
        for (const char* file : {"vexdrv.dll", "vexdrv.gpd", "vexui.dll"})
            std::ofstream(sub / file, std::ios::binary) << "driver file";
    }
}

bool AddTestDriver() {
    LayDriverFiles();
    DRIVER_INFO_3 driver{3, kDriver.c_str(), nullptr, "vexdrv.dll", "vexdrv.gpd", "vexui.dll"};
    return AddPrinterDriver(3, &driver);
}

// The port the printers of the tests print to: LPT1: where the machine has it,
// else its first port that is none of the tests' own (other test programs add
// and delete those at the same time).
std::string AnyPort() {
    std::string any;
    for (const PORT_INFO_2& p : Ports()) {
        const std::string name = p.pPortName;
        if (name == "LPT1:")
            return name;
        if (any.empty() && name.rfind("C:\\vex", 0) != 0)
            any = name;
    }
    return any;
}

// The record points into csName and csPort.
PRINTER_INFO_2 Record(const std::string& csName, const std::string& csPort) {
    return PRINTER_INFO_2{
        csName.c_str(), "", csPort.c_str(), kDriver.c_str(), "a comment", "a place", "", 0};
}

// A port of the local monitor that writes to a file (a path is a port name
// to it), so what a job prints can be read back.
std::string FilePort(const std::string& csBase) {
    return "C:\\" + win32test::UniqueName(csBase) + ".prn";
}

std::string ReadFile(const std::string& csPath) {
    std::ifstream in(csPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Listed(const std::string& csName) {
    const auto printers = Printers();
    return std::any_of(printers.begin(), printers.end(),
                       [&](const PRINTER_INFO_2& p) { return csName == p.pPrinterName; });
}

class SpoolerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(AddTestDriver()) << GetLastError();
        port = AnyPort();
        ASSERT_FALSE(port.empty());
    }
    void TearDown() override {
        for (HPRINTER h : opened)
            ClosePrinter(h);
        for (const std::string& name : added) {
            PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
            HPRINTER h = nullptr;
            if (OpenPrinter(name, &h, &all)) {
                DeletePrinter(h);
                ClosePrinter(h);
            }
        }
    }
    // Adds a printer that TearDown deletes; its handle stays open until then.
    HPRINTER Add(const std::string& csName) {
        PRINTER_INFO_2 info = Record(csName, port);
        HPRINTER h = AddPrinter(2, &info);
        if (h) {
            added.push_back(csName);
            opened.push_back(h);
        }
        return h;
    }
    std::string port;
    std::vector<std::string> added;
    std::vector<HPRINTER> opened;
};

TEST_F(SpoolerTest, APrinterIsAddedReadEnumeratedAndDeleted) {
    const std::string name = win32test::UniqueName("Vex Laser");
    HPRINTER hAdded = Add(name);
    ASSERT_NE(hAdded, nullptr) << GetLastError();

    // Opened by the name in other case, for use only.
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    HPRINTER hUse = nullptr;
    ASSERT_TRUE(OpenPrinter(upper, &hUse, nullptr)) << GetLastError();
    opened.push_back(hUse);

    uint32_t needed = 0;
    EXPECT_FALSE(GetPrinter(hUse, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_GT(needed, sizeof(PRINTER_INFO_2));
    std::vector<uint64_t> storage(needed / 8 + 1);
    auto* buffer = reinterpret_cast<uint8_t*>(storage.data());
    EXPECT_FALSE(GetPrinter(hUse, 2, buffer, needed - 1, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_TRUE(GetPrinter(hUse, 2, buffer, needed, &needed)) << GetLastError();
    const auto* got = reinterpret_cast<const PRINTER_INFO_2*>(buffer);
    EXPECT_EQ(name, got->pPrinterName);
    EXPECT_EQ(port, got->pPortName);
    EXPECT_EQ(kDriver, got->pDriverName);
    EXPECT_STREQ("a comment", got->pComment);
    EXPECT_STREQ("a place", got->pLocation);
    // Records first, texts after them, every text in the buffer and none null.
    for (const char* text : {got->pPrinterName, got->pShareName, got->pPortName, got->pDriverName,
                             got->pComment, got->pLocation, got->pSepFile}) {
        ASSERT_NE(text, nullptr);
        EXPECT_GE(reinterpret_cast<const uint8_t*>(text), buffer + sizeof(PRINTER_INFO_2));
        EXPECT_LT(reinterpret_cast<const uint8_t*>(text), buffer + needed);
    }

    // A handle for use only may neither change nor delete the printer.
    PRINTER_INFO_2 info = Record(name, port);
    EXPECT_FALSE(SetPrinter(hUse, 2, &info, 0));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeletePrinter(hUse));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    EXPECT_TRUE(Listed(name));
    ASSERT_TRUE(DeletePrinter(hAdded)) << GetLastError();
    EXPECT_FALSE(Listed(name));
    HPRINTER hGone = nullptr;
    EXPECT_FALSE(OpenPrinter(name, &hGone, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
}

TEST_F(SpoolerTest, TheEnumerationIsSizedByAFirstCall) {
    const std::string first = win32test::UniqueName("Vex One");
    const std::string second = win32test::UniqueName("Vex Two");
    ASSERT_NE(Add(first), nullptr) << GetLastError();
    ASSERT_NE(Add(second), nullptr) << GetLastError();
    uint32_t needed = 0, returned = 7;
    EXPECT_FALSE(EnumPrinters(PRINTER_ENUM_LOCAL, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(0u, returned);
    // Other test programs add printers too: a larger buffer is asked for
    // while the list grows.
    std::vector<uint64_t> storage;
    uint8_t* buffer = nullptr;
    bool bRead = false;
    for (int attempt = 0; attempt < 10 && !bRead; ++attempt) {
        storage.assign(needed / 8 + 1, 0);
        buffer = reinterpret_cast<uint8_t*>(storage.data());
        bRead = EnumPrinters(PRINTER_ENUM_LOCAL, 2, buffer, needed, &needed, &returned);
        if (!bRead) {
            ASSERT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        }
    }
    ASSERT_TRUE(bRead);
    ASSERT_GE(returned, 2u);
    const auto* records = reinterpret_cast<const PRINTER_INFO_2*>(buffer);
    int found = 0;
    for (uint32_t i = 0; i < returned; ++i) {
        EXPECT_GE(reinterpret_cast<const uint8_t*>(records[i].pPrinterName),
                  buffer + returned * sizeof(PRINTER_INFO_2));
        found += first == records[i].pPrinterName || second == records[i].pPrinterName;
    }
    EXPECT_EQ(2, found);
    EXPECT_FALSE(EnumPrinters(PRINTER_ENUM_LOCAL, 1, buffer, needed, &needed, &returned));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_LEVEL);
}

TEST_F(SpoolerTest, TheBackEndRefusesWhatWindowsSpoolerRefuses) {
    // Wine's spooler takes duplicate names, unknown ports, commas and
    // backslashes; the back end refuses them before the system is asked.
    const std::string name = win32test::UniqueName("Vex Checked");
    ASSERT_NE(Add(name), nullptr) << GetLastError();
    struct SCase {
        std::string name, port, driver;
        uint32_t error;
    } cases[] = {
        {"", port, kDriver, ERROR_INVALID_PRINTER_NAME},
        {"   ", port, kDriver, ERROR_INVALID_PRINTER_NAME},
        {"Vex,Comma", port, kDriver, ERROR_INVALID_PRINTER_NAME},
        {"Vex\\Backslash", port, kDriver, ERROR_INVALID_PRINTER_NAME},
        {"Vex\tTab", port, kDriver, ERROR_INVALID_PRINTER_NAME},
        {std::string(MAX_PRINTER_NAME + 1, 'v'), port, kDriver, ERROR_INVALID_PRINTER_NAME},
        {name, port, kDriver, ERROR_PRINTER_ALREADY_EXISTS},
        {win32test::UniqueName("Vex No Port"), "VEXNOPORT:", kDriver, ERROR_UNKNOWN_PORT},
        {win32test::UniqueName("Vex No Driver"), port, "Vex No Such Driver",
         ERROR_UNKNOWN_PRINTER_DRIVER},
    };
    for (const SCase& c : cases) {
        PRINTER_INFO_2 info{c.name.c_str(), "", c.port.c_str(), c.driver.c_str(), "", "", "", 0};
        HPRINTER h = AddPrinter(2, &info);
        EXPECT_EQ(h, nullptr) << c.name;
        if (h) {
            added.push_back(c.name);
            opened.push_back(h);
        }
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    const std::string sharedName = win32test::UniqueName("Vex Shared");
    PRINTER_INFO_2 shared = Record(sharedName, port);
    shared.Attributes = PRINTER_ATTRIBUTE_SHARED;
    EXPECT_EQ(AddPrinter(2, &shared), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_SHARENAME);
    // No name with a comma is a printer (the system would open a port or a
    // monitor for it), nor is the empty name (the print server).
    for (const std::string& bad : {std::string(), name + ",XcvMonitor Local Port"}) {
        HPRINTER h = nullptr;
        EXPECT_FALSE(OpenPrinter(bad, &h, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
    }
}

TEST_F(SpoolerTest, ARenameKeepsTheOtherFieldsAndIsChecked) {
    const std::string name = win32test::UniqueName("Vex Before");
    const std::string other = win32test::UniqueName("Vex Other");
    const std::string renamed = win32test::UniqueName("Vex After");
    HPRINTER h = Add(name);
    ASSERT_NE(h, nullptr) << GetLastError();
    ASSERT_NE(Add(other), nullptr) << GetLastError();
    PRINTER_INFO_2 taken = Record(other, port);
    EXPECT_FALSE(SetPrinter(h, 2, &taken, 0));
    EXPECT_EQ(GetLastError(), ERROR_PRINTER_ALREADY_EXISTS);
    PRINTER_INFO_2 bad = Record("Vex,Renamed", port);
    EXPECT_FALSE(SetPrinter(h, 2, &bad, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
    EXPECT_FALSE(SetPrinter(h, 2, &taken, 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_COMMAND);

    PRINTER_INFO_2 info = Record(renamed, port);
    info.pComment = "moved";
    ASSERT_TRUE(SetPrinter(h, 2, &info, 0)) << GetLastError();
    added.push_back(renamed);
    EXPECT_TRUE(Listed(renamed));
    EXPECT_FALSE(Listed(name));
    const auto printers = Printers();
    for (const PRINTER_INFO_2& p : printers)
        if (renamed == p.pPrinterName) {
            EXPECT_STREQ("moved", p.pComment);
        }
    // Wine keeps a renamed printer under its old key, and cannot open it by
    // the new name; Windows can.
    if (!win32test::UnderWine()) {
        HPRINTER hRenamed = nullptr;
        ASSERT_TRUE(OpenPrinter(renamed, &hRenamed, nullptr)) << GetLastError();
        ClosePrinter(hRenamed);
    }
    // Back to the first name through the same handle (so wine, too, can
    // delete it by name).
    PRINTER_INFO_2 back = Record(name, port);
    ASSERT_TRUE(SetPrinter(h, 2, &back, 0)) << GetLastError();
    EXPECT_TRUE(Listed(name));
    EXPECT_FALSE(Listed(renamed));
}

TEST_F(SpoolerTest, AJobIsWrittenListedAndPrinted) {
    const std::string file = FilePort("vex-job");
    std::filesystem::remove(file);
    PORT_INFO_2 filePort{file.c_str(), "", "", PORT_TYPE_WRITE};
    ASSERT_TRUE(AddPortEx(2, &filePort, "Local Port")) << GetLastError();
    port = file;
    HPRINTER h = Add(win32test::UniqueName("Vex Jobs"));
    ASSERT_NE(h, nullptr) << GetLastError();
    uint32_t written = 0;
    EXPECT_FALSE(WritePrinter(h, "x", 1, &written));
    EXPECT_EQ(GetLastError(), ERROR_SPL_NO_STARTDOC);
    EXPECT_FALSE(EndDocPrinter(h));
    EXPECT_EQ(GetLastError(), ERROR_SPL_NO_STARTDOC);
    DOC_INFO_1 toFile{"report", "C:\\out.prn", nullptr};
    EXPECT_EQ(0u, StartDocPrinter(h, 1, &toFile));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    DOC_INFO_1 text{"report", nullptr, "TEXT"};
    EXPECT_EQ(0u, StartDocPrinter(h, 1, &text));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATATYPE);

    DOC_INFO_1 doc{"Vex report", nullptr, nullptr};
    const uint32_t id = StartDocPrinter(h, 1, &doc);
    ASSERT_NE(0u, id) << GetLastError();
    EXPECT_EQ(0u, StartDocPrinter(h, 1, &doc));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_STATE);
    ASSERT_TRUE(WritePrinter(h, "hello", 5, &written)) << GetLastError();
    EXPECT_EQ(5u, written);

    // Wine's EnumJobs lists no job (it fails with ERROR_INVALID_PARAMETER).
    if (!win32test::UnderWine()) {
        const auto jobs = Jobs(h);
        ASSERT_EQ(1u, jobs.size());
        EXPECT_EQ(id, jobs[0].JobId);
        EXPECT_STREQ("Vex report", jobs[0].pDocument);
        EXPECT_NE(nullptr, jobs[0].pUserName);
        // Submitted in this century: the system's time is read as UTC seconds.
        EXPECT_GT(jobs[0].Submitted, int64_t(946684800));
    }
    ASSERT_TRUE(EndDocPrinter(h)) << GetLastError();
    // The local monitor writes the job to the port's file; Windows does it
    // from the spooler's service, so the test waits for it there.
    std::string printed;
    for (int i = 0; i < 500 && printed != "hello"; ++i) {
        printed = ReadFile(file);
        if (printed != "hello")
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ("hello", printed);

    // A job left open when its handle closes is discarded. Wine's
    // AbortPrinter does nothing and its ClosePrinter ends the job, which then
    // prints: checked on Windows only, whose spooler lists the job no more.
    if (!win32test::UnderWine()) {
        HPRINTER hDiscard = nullptr;
        ASSERT_TRUE(OpenPrinter(added.back(), &hDiscard, nullptr)) << GetLastError();
        const uint32_t lost = StartDocPrinter(hDiscard, 1, &doc);
        ASSERT_NE(0u, lost) << GetLastError();
        ASSERT_TRUE(WritePrinter(hDiscard, "lost", 4, &written)) << GetLastError();
        EXPECT_TRUE(ClosePrinter(hDiscard)) << GetLastError();
        const auto left = Jobs(h);
        EXPECT_TRUE(std::none_of(left.begin(), left.end(),
                                 [&](const JOB_INFO_1& j) { return j.JobId == lost; }));
    }

    // The port of a printer stays; without the printer it goes.
    EXPECT_FALSE(DeletePort(file));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    ASSERT_TRUE(DeletePrinter(h)) << GetLastError();
    EXPECT_TRUE(DeletePort(file)) << GetLastError();
    const auto ports = Ports();
    EXPECT_TRUE(std::none_of(ports.begin(), ports.end(),
                             [&](const PORT_INFO_2& p) { return file == p.pPortName; }));
    std::filesystem::remove(file);
}

TEST_F(SpoolerTest, PortsAndMonitorsAreListedAndChecked) {
    const auto ports = Ports();
    ASSERT_FALSE(ports.empty());
    for (const PORT_INFO_2& p : ports) {
        ASSERT_NE(p.pMonitorName, nullptr);
        ASSERT_NE(p.pDescription, nullptr);
    }
    const auto monitors = Monitors();
    ASSERT_FALSE(monitors.empty());
    // Wine's local ports name the monitor "Local Monitor", which it does not
    // list; its local monitor is "Local Port", as on Windows.
    auto mine = std::find_if(ports.begin(), ports.end(),
                             [&](const PORT_INFO_2& p) { return port == p.pPortName; });
    ASSERT_NE(mine, ports.end());
    const std::string monitor = win32test::UnderWine() ? "Local Port" : mine->pMonitorName;
    EXPECT_TRUE(std::any_of(monitors.begin(), monitors.end(), [&](const MONITOR_INFO_2& m) {
        return monitor == m.pName;
    })) << monitor;

    PORT_INFO_2 unknown{"VEXPORT:", "", "", PORT_TYPE_WRITE};
    EXPECT_FALSE(AddPortEx(2, &unknown, "Vex No Such Monitor"));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINT_MONITOR);
    PORT_INFO_2 taken{port.c_str(), "", "", PORT_TYPE_WRITE};
    EXPECT_FALSE(AddPortEx(2, &taken, monitor));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(DeletePort("VEXNOPORT:"));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PORT);

    const std::string file = FilePort("vex-port");
    PORT_INFO_2 filePort{file.c_str(), "", "", PORT_TYPE_WRITE};
    ASSERT_TRUE(AddPortEx(2, &filePort, "Local Port")) << GetLastError();
    EXPECT_FALSE(AddPortEx(2, &filePort, "Local Port"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    const auto added = Ports();
    EXPECT_TRUE(std::any_of(added.begin(), added.end(),
                            [&](const PORT_INFO_2& p) { return file == p.pPortName; }));
    EXPECT_TRUE(DeletePort(file)) << GetLastError();

    // The monitor of ports stays. Wine lists no port under its local monitor,
    // so there the check cannot see them: Windows only.
    if (!win32test::UnderWine()) {
        EXPECT_FALSE(DeleteMonitor(nullptr, monitor));
        EXPECT_EQ(GetLastError(), ERROR_PRINT_MONITOR_IN_USE);
    }
    MONITOR_INFO_2 again{monitor.c_str(), nullptr, "localspl.dll"};
    EXPECT_FALSE(AddMonitor(2, &again));
    EXPECT_EQ(GetLastError(), ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    MONITOR_INFO_2 missing{"Vex Missing Monitor", nullptr, "vexnosuchmon.dll"};
    EXPECT_FALSE(AddMonitor(2, &missing));
    EXPECT_FALSE(DeleteMonitor(nullptr, "Vex No Such Monitor"));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINT_MONITOR);
}

TEST_F(SpoolerTest, ADriverIsListedAndKeptWhileAPrinterUsesIt) {
    const auto drivers = Drivers(nullptr);
    auto mine = std::find_if(drivers.begin(), drivers.end(),
                             [](const DRIVER_INFO_3& d) { return kDriver == d.pName; });
    ASSERT_NE(mine, drivers.end());
    EXPECT_EQ(3u, mine->cVersion);
    EXPECT_STREQ("Windows x64", mine->pEnvironment);
    EXPECT_NE(std::string(mine->pDriverPath).find("vexdrv.dll"), std::string::npos);
    EXPECT_FALSE(Drivers("all").empty());

    // A driver of its own, which no other printer of the program uses.
    const std::string deletable = kDriver + " deletable";
    DRIVER_INFO_3 driver{3, deletable.c_str(), nullptr, "vexdrv.dll", "vexdrv.gpd", "vexui.dll"};
    ASSERT_TRUE(AddPrinterDriver(3, &driver)) << GetLastError();
    const std::string user = win32test::UniqueName("Vex Driver User");
    PRINTER_INFO_2 info = Record(user, port);
    info.pDriverName = deletable.c_str();
    HPRINTER h = AddPrinter(2, &info);
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_FALSE(DeletePrinterDriver(nullptr, deletable));
    EXPECT_EQ(GetLastError(), ERROR_PRINTER_DRIVER_IN_USE);
    ASSERT_TRUE(DeletePrinter(h)) << GetLastError();
    ClosePrinter(h);
    ASSERT_TRUE(DeletePrinterDriver(nullptr, deletable)) << GetLastError();
    const auto after = Drivers(nullptr);
    EXPECT_TRUE(std::none_of(after.begin(), after.end(),
                             [&](const DRIVER_INFO_3& d) { return deletable == d.pName; }));
    EXPECT_FALSE(DeletePrinterDriver(nullptr, deletable));
    EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);
}

TEST_F(SpoolerTest, TheProfilesDefaultPrinterFollowsThePrinter) {
    std::string value;
    ASSERT_TRUE(WriteProfileString("windows", "vextest", "0123456789"));
    EXPECT_EQ(10u, GetProfileString("windows", "vextest", "", &value, 100));
    EXPECT_EQ("0123456789", value);
    EXPECT_EQ(4u, GetProfileString("windows", "vextest", "", &value, 5));
    EXPECT_EQ("0123", value);
    EXPECT_EQ(0u, GetProfileString("windows", "vextest", "", &value, 0));
    ASSERT_TRUE(WriteProfileString("windows", "vextest", nullptr));
    GetProfileString("windows", "vextest", "none", &value, 100);
    EXPECT_EQ("none", value);

    std::string saved;
    GetProfileString("windows", "device", "", &saved, 1024);
    const std::string name = win32test::UniqueName("Vex Default");
    HPRINTER h = Add(name);
    ASSERT_NE(h, nullptr) << GetLastError();
    const std::string device = name + "," + kDriver + "," + port;
    ASSERT_TRUE(WriteProfileString("windows", "device", device.c_str()));
    PRINTER_INFO_2 info = Record(name, port);
    info.pComment = "the driver and port stay";
    ASSERT_TRUE(SetPrinter(h, 2, &info, 0)) << GetLastError();
    GetProfileString("windows", "device", "", &value, 1024);
    EXPECT_EQ(device, value);
    ASSERT_TRUE(DeletePrinter(h)) << GetLastError();
    // The entry no longer names the printer; the spooler may have chosen
    // another default itself (wine does, as Windows does when it manages the
    // default).
    GetProfileString("windows", "device", "", &value, 1024);
    EXPECT_NE(name, value.substr(0, value.find(','))) << value;
    if (!saved.empty())
        WriteProfileString("windows", "device", saved.c_str());
}

} // namespace
