// The driver package on Windows: samplepkg.exe lays it, and its installer
// setup.exe, run with the command lines the service builds, creates queues and
// installs drivers through the machine's spooler. The package's models carry
// the process id, so its driver names are the test's own.
#include "SpoolerReads.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/os.h"
#include "platform/process.h"
#include "platform/spooler.h"
#include "platform/sync.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace platform;
namespace fs = std::filesystem;

namespace {

const std::string kPid = std::to_string(GetCurrentProcessId());
const std::string kModel = "Vex Setup A " + kPid;
const std::string kOtherModel = "Vex Setup B " + kPid;
// A folder with blanks, as a program folder has: the service does not quote
// the installer's path.
const std::string kWorkDir = "C:\\vex setup " + kPid + "\\";

std::string Quoted(const std::string& csText) {
    return "\"" + csText + "\"";
}

// The driver folder of a system letter and driver letter, ending in "\".
std::string DriverFolder(char os, char driver) {
    return kWorkDir + "Files\\d\\" + os + "\\" + driver + "\\";
}

// Runs a command line in the folder; the exit code, or STILL_ACTIVE when the
// program did not end within a minute.
uint32_t RunIn(const std::string& csCommandLine, const std::string& csFolder) {
    ProcessOptions options;
    options.csCurrentDirectory = csFolder;
    Process process;
    uint32_t code = STILL_ACTIVE;
    if (!process.Start(csCommandLine, options)) {
        ADD_FAILURE() << "cannot start " << csCommandLine << ": " << GetLastError();
        return code;
    }
    if (process.Wait(60000) != WaitResult::Signaled)
        process.Terminate(1);
    process.GetExitCode(&code);
    return code;
}

const PRINTER_INFO_2* FindPrinter(const std::vector<PRINTER_INFO_2>& printers,
                                  const std::string& csName) {
    auto it = std::find_if(printers.begin(), printers.end(),
                           [&](const PRINTER_INFO_2& p) { return csName == p.pPrinterName; });
    return it == printers.end() ? nullptr : &*it;
}

// The driver's version in the environment (null: the machine's), or -1.
int DriverVersion(const char* pEnvironment, const std::string& csDriver) {
    for (const DRIVER_INFO_3& d : spoolertest::Drivers(pEnvironment))
        if (csDriver == d.pName)
            return int(d.cVersion);
    return -1;
}

class SetupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string self;
        ASSERT_TRUE(GetModuleFileName(&self));
        const std::string bin = fs::path(self).parent_path().string() + "\\";
        ASSERT_EQ(0u,
                  RunIn(QuoteArgument(bin + "samplepkg.exe") + " --workdir " +
                            QuoteArgument(kWorkDir) + " --model " + QuoteArgument(kModel) +
                            " --model " + QuoteArgument(kOtherModel) + " --monitor-version 2.3.4.5",
                        bin));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(kWorkDir, ec);
    }
    void TearDown() override {
        for (const std::string& name : m_queues) {
            PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
            HPRINTER h = nullptr;
            if (OpenPrinter(name, &h, &all)) {
                DeletePrinter(h);
                ClosePrinter(h);
            }
        }
        for (const char* environment :
             {"Windows 4.0", "Windows NT x86", static_cast<const char*>(nullptr)})
            for (const std::string& model : {kModel, kOtherModel})
                for (const char* type : {" PCL6", " PCL", " PS"})
                    DeletePrinterDriver(environment, model + type);
    }
    // A queue name of the test, deleted at its end.
    std::string Queue(const std::string& csBase) {
        m_queues.push_back(csBase + " " + kPid);
        return m_queues.back();
    }

private:
    std::vector<std::string> m_queues;
};

TEST_F(SetupTest, ThePackageHoldsWhatAWindowsMachineNeeds) {
    for (char os : {'9', 'n', '2'}) {
        for (char driver : {'6', '5', 's'}) {
            const std::string folder = DriverFolder(os, driver);
            for (const char* file : {"setup.exe", "zantor.drv", "zantor.gpd", "zantorui.dll"})
                EXPECT_TRUE(fs::is_regular_file(folder + file)) << folder << file;
            EXPECT_TRUE(fs::is_regular_file(folder + "zantor" + driver + ".inf")) << folder;
        }
    }
    EXPECT_FALSE(fs::exists(kWorkDir + "Files\\p\\9"));
    // The monitor file carries the package's monitor version, as the service reads it.
    for (const char* os : {"n", "2"}) {
        const std::string monitor = kWorkDir + "Files\\p\\" + os + "\\zantornpmon.dll";
        const uint32_t size = GetFileVersionInfoSize(monitor);
        ASSERT_GT(size, 0u) << monitor << ": " << GetLastError();
        std::vector<uint8_t> block(size);
        ASSERT_TRUE(GetFileVersionInfo(monitor, size, block.data()));
        void* pFixed = nullptr;
        uint32_t len = 0;
        ASSERT_TRUE(VerQueryValue(block.data(), "\\", &pFixed, &len));
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(pFixed);
        EXPECT_EQ(0x00020003u, fixed->dwFileVersionMS);
        EXPECT_EQ(0x00040005u, fixed->dwFileVersionLS);
    }
    EXPECT_TRUE(fs::is_regular_file(kWorkDir + "read.me"));
}

TEST_F(SetupTest, TheServicesCommandLineCreatesTheQueueWithTheDriver) {
    const std::string queue = Queue("Vex Setup Queue");
    const std::string share = "VexShare" + kPid;
    const std::string driver = kModel + " PCL6";
    const std::string folder = DriverFolder('2', '6');
    // As the service builds it: the installer's path unquoted, every value quoted.
    const std::string line = folder + "setup.exe" + " -i " + Quoted(queue) + " " + Quoted(driver) +
                             " " + Quoted("LPT1:") + " -s " + Quoted(share) + " -a " +
                             Quoted("PRINTER_ATTRIBUTE_SHARED|PRINTER_ATTRIBUTE_PUBLISHED") +
                             " -l " + Quoted("Room 2, east") + " -c " + Quoted("Made by setup");
    ASSERT_EQ(0u, RunIn(line, folder));

    const auto printers = spoolertest::Printers();
    const PRINTER_INFO_2* printer = FindPrinter(printers, queue);
    ASSERT_NE(printer, nullptr);
    EXPECT_STREQ("LPT1:", printer->pPortName);
    EXPECT_EQ(driver, printer->pDriverName);
    EXPECT_EQ(share, printer->pShareName);
    EXPECT_STREQ("Room 2, east", printer->pLocation);
    EXPECT_STREQ("Made by setup", printer->pComment);
    EXPECT_TRUE(printer->Attributes & PRINTER_ATTRIBUTE_SHARED);
    // The folder of system letter "2" holds the drivers of version 3.
    EXPECT_EQ(3, DriverVersion(nullptr, driver));

    // "-n" keeps the installed driver for the next queue.
    const std::string next = Queue("Vex Setup Next");
    EXPECT_EQ(0u, RunIn(folder + "setup.exe -n  -i " + Quoted(next) + " " + Quoted(driver) + " " +
                            Quoted("LPT1:"),
                        folder));
    EXPECT_NE(FindPrinter(spoolertest::Printers(), next), nullptr);
}

TEST_F(SetupTest, TheInstallerRefusesWhatItCannotDo) {
    const std::string folder = DriverFolder('2', 's');
    const std::string setup = folder + "setup.exe";
    const std::string queue = Queue("Vex Setup Refused");
    const std::string driver = kOtherModel + " PS";
    // A model that no .inf file of the folder names.
    EXPECT_EQ(uint32_t(-6), RunIn(setup + " -i " + Quoted(queue) + " " +
                                      Quoted("Vex Unknown " + kPid + " PS") + " " + Quoted("LPT1:"),
                                  folder));
    EXPECT_EQ(1u, RunIn(setup, folder));
    EXPECT_EQ(1u, RunIn(setup + " -i " + Quoted(queue) + " " + Quoted(driver), folder));
    EXPECT_EQ(1u, RunIn(setup + " -i a b c -d x y", folder));
    EXPECT_EQ(1u, RunIn(setup + " -i " + Quoted(queue) + " " + Quoted(driver) + " LPT1: -a " +
                            Quoted("PRINTER_ATTRIBUTE_SHARED|PRINTER_ATTRIBUTE_HIDDEN"),
                        folder));
    // The spooler refuses: no such port; the driver told to stay is not installed.
    EXPECT_EQ(2u, RunIn(setup + " -i " + Quoted(queue) + " " + Quoted(driver) + " " +
                            Quoted("VexNoPort" + kPid + ":"),
                        folder));
    EXPECT_EQ(2u, RunIn(setup + " -n -i " + Quoted(queue) + " " + Quoted(kModel + " PS") + " " +
                            Quoted("LPT1:"),
                        folder));
    EXPECT_EQ(nullptr, FindPrinter(spoolertest::Printers(), queue));
}

TEST_F(SetupTest, MinusDInstallsTheDriverForOlderSystems) {
    const std::string driver = kModel + " PCL";
    EXPECT_EQ(0u, RunIn(DriverFolder('9', '5') + "setup.exe -d " + Quoted(driver) + " " +
                            Quoted("Windows 4.0"),
                        DriverFolder('9', '5')));
    EXPECT_EQ(0, DriverVersion("Windows 4.0", driver));
    EXPECT_EQ(0u, RunIn(DriverFolder('n', '5') + "setup.exe -d " + Quoted(driver) + " " +
                            Quoted("Windows NT x86"),
                        DriverFolder('n', '5')));
    // The installer asks for version 2 (the folder "n"); the spooler decides:
    // Windows by the driver's files, wine by the environment (3 for it).
    EXPECT_NE(-1, DriverVersion("Windows NT x86", driver));
    // Only for this machine's environment does a queue need it.
    EXPECT_EQ(-1, DriverVersion(nullptr, driver));
}

} // namespace
