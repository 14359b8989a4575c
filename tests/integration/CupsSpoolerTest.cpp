// The spooler on CUPS: a private cupsd per test in the test's system root,
// queues made through the driver package's installer, read back with CUPS's
// own clients, and jobs that reach printer-sim on the print port.
#include "CreationMachine.h"
#include "TestService.h"
#include "TestSupport.h"
#include "common/VexData.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/spooler.h"

#include <arpa/inet.h>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

using namespace platform;

namespace {

const char* const kQueue = "Laser 1332 (2)";
const char* const kCupsQueue = "Laser_1332_+282+29";

TEST(CupsQueueName, IsReversibleAndKeepsWithinCupsLimits) {
    for (const std::string name : {"Laser 1332 (2)", "a_b+c", "x@y#z/w\\v", "Büro 3. Stock", "-.",
                                   "Tab\there", "\"quoted\" 'name'"}) {
        std::string cupsName = CupsQueueName(name);
        EXPECT_EQ(cupsName.find_first_of(" /#@\\?'\"\t"), std::string::npos) << cupsName;
        EXPECT_EQ(CupsPrinterName(cupsName), name) << cupsName;
    }
    EXPECT_EQ(CupsQueueName("Laser 1332 (2)"), kCupsQueue);
    // Different names never meet: "_" stands for a blank only.
    EXPECT_NE(CupsQueueName("a b"), CupsQueueName("a_b"));
    EXPECT_EQ(CupsQueueName(std::string(127, 'x')).size(), 127u);
    EXPECT_EQ(CupsQueueName(std::string(43, '(')), ""); // 129 bytes
    // Names the rule never makes read back as none.
    for (const char* foreign : {"a+20b", "a+2", "a+4g", "a+41", "a+2b", "a b"})
        EXPECT_EQ(CupsPrinterName(foreign), "") << foreign;
}

class CupsSpoolerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string csWhy;
        if (!vextest::CupsSchedulerCanRun(&csWhy))
            GTEST_SKIP() << "no private CUPS scheduler: " << csWhy;
        ASSERT_TRUE(vextest::EnterPrivateNetwork(&csWhy)) << csWhy;
        machine = std::make_unique<vextest::CCreationMachine>(
            std::vector<std::string>{}, vextest::CCreationMachine::ESpooler::Cups);
        ASSERT_TRUE(machine->Ready());
        Jobs = machine->Root().Path() + "/jobs";
        ASSERT_EQ(::mkdir(Jobs.c_str(), 0700), 0);
    }
    void TearDown() override {
        for (auto& sim : sims)
            EndPrinter(sim);
        if (bService) {
            vextest::RunProgram(vextest::ProgramPath("vexsrv"), {"-stop"});
            vextest::RunProgram(vextest::ProgramPath("vexsrv"), {"-remove"});
        }
        machine.reset();
    }

    // The installer of the package, as the service runs it.
    int Install(const std::vector<std::string>& args) {
        std::string output;
        int rc =
            vextest::RunProgram(machine->Root().WorkDir() + "Files/d/2/6/setup", args, &output);
        EXPECT_TRUE(rc == 0 || rc == 2) << output;
        return rc;
    }
    static bool AddPort(const std::string& csPort) {
        PORT_INFO_2 port{csPort.c_str(), "", "", 0};
        return AddPortEx(2, &port, "Standard TCP/IP Port");
    }
    // CUPS's view of a queue: lpoptions -p NAME.
    static std::string CupsOptions(const std::string& csCupsName) {
        std::string output;
        vextest::RunProgram("/usr/bin/lpoptions", {"-p", csCupsName}, &output);
        return output;
    }
    static std::string CupsQueues() {
        std::string output;
        vextest::RunProgram("/usr/bin/lpstat", {"-v"}, &output);
        return output;
    }
    // A printer-sim that records its jobs; the options follow the address.
    Process& StartPrinter(const std::string& csAddress,
                          std::vector<std::string> args = {"--no-announce"}) {
        std::string csReady = machine->Root().Path() + "/sim" + std::to_string(sims.size());
        args.insert(args.end(), {"--first", csAddress, "--jobs", Jobs, "--ready", csReady});
        std::string line = QuoteArgument(vextest::ProgramPath("printer-sim"));
        for (const std::string& arg : args)
            line += " " + QuoteArgument(arg);
        sims.push_back(std::make_unique<Process>());
        EXPECT_TRUE(sims.back()->Start(line)) << line;
        EXPECT_TRUE(vextest::WaitFor([&] { return std::ifstream(csReady).good(); }));
        return *sims.back();
    }
    static void EndPrinter(std::unique_ptr<Process>& sim) {
        if (sim && sim->IsStarted()) {
            sim->Terminate(0);
            sim->Wait();
        }
        sim.reset();
    }
    // The lines of the printers' job log.
    std::vector<std::string> JobLines() {
        return vextest::Lines(vextest::ReadFile(Jobs + "/jobs.log"));
    }
    void AddLaser(const std::string& csPort = "ZANTOR:127.0.0.2") {
        ASSERT_TRUE(AddPort(csPort));
        ASSERT_EQ(Install({"-i", kQueue, "Laser 1332 PCL6", csPort, "-l", "Room 2"}), 0);
    }

    std::unique_ptr<vextest::CCreationMachine> machine;
    std::vector<std::unique_ptr<Process>> sims;
    bool bService = false;
    std::string Jobs;
};

TEST_F(CupsSpoolerTest, AQueueIsACupsPrinterWithItsDeviceDriverAndFields) {
    ASSERT_TRUE(AddPort("ZANTOR:127.0.0.2"));
    ASSERT_EQ(Install({"-i", kQueue, "Laser 1332 PCL6", "ZANTOR:127.0.0.2", "-s", "IP32_2", "-a",
                       "PRINTER_ATTRIBUTE_SHARED", "-l", "Room 2", "-c", "By the door", "-sp",
                       "C:\\WINDOWS\\system32\\Standard.sep"}),
              0);
    std::string options = CupsOptions(kCupsQueue);
    EXPECT_NE(options.find("device-uri=socket://127.0.0.2:9100"), std::string::npos) << options;
    EXPECT_NE(options.find("printer-info='Laser 1332 (2)'"), std::string::npos) << options;
    EXPECT_NE(options.find("printer-location='Room 2'"), std::string::npos) << options;
    EXPECT_NE(options.find("printer-is-shared=true"), std::string::npos) << options;
    EXPECT_NE(options.find("printer-make-and-model='Zantor PCL 6"), std::string::npos) << options;
    EXPECT_NE(options.find("job-sheets=standard,none"), std::string::npos) << options;
    EXPECT_NE(options.find("printer-is-accepting-jobs=true"), std::string::npos) << options;
    // What CUPS cannot hold, the spooler keeps.
    vextest::SQueueRecord queue;
    ASSERT_TRUE(vextest::ReadQueue(kQueue, &queue));
    EXPECT_EQ(queue.csComment, "By the door");
    EXPECT_EQ(queue.csShare, "IP32_2");
    EXPECT_EQ(queue.csPort, "ZANTOR:127.0.0.2");
    EXPECT_EQ(queue.csDriver, "Laser 1332 PCL6");

    // A separator CUPS has no banner for prints none.
    HPRINTER hPrinter = nullptr;
    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinter(kQueue, &hPrinter, &all));
    PRINTER_INFO_2 changed{kQueue, "",       "ZANTOR:127.0.0.2", "Laser 1332 PCL6",
                           "",     "Room 3", "sep.sep",          0};
    EXPECT_TRUE(SetPrinter(hPrinter, 2, &changed, 0)) << GetLastError();
    options = CupsOptions(kCupsQueue);
    EXPECT_NE(options.find("job-sheets=none,none"), std::string::npos) << options;
    EXPECT_NE(options.find("printer-location='Room 3'"), std::string::npos) << options;
    EXPECT_NE(options.find("printer-is-shared=false"), std::string::npos) << options;
    ClosePrinter(hPrinter);
}

TEST_F(CupsSpoolerTest, NamesTakenOrRefusedByCupsAreRefused) {
    AddLaser();
    // CUPS compares names without regard to case, as the spooler does.
    PRINTER_INFO_2 same{"laser 1332 (2)", "", "ZANTOR:127.0.0.2", "Laser 1332 PCL6", "", "", "", 0};
    EXPECT_EQ(AddPrinter(2, &same), nullptr);
    EXPECT_EQ(GetLastError(), uint32_t(ERROR_PRINTER_ALREADY_EXISTS));
    // A name the spooler takes whose CUPS name is too long.
    std::string longName(60, '(');
    PRINTER_INFO_2 tooLong{
        longName.c_str(), "", "ZANTOR:127.0.0.2", "Laser 1332 PCL6", "", "", "", 0};
    EXPECT_EQ(AddPrinter(2, &tooLong), nullptr);
    EXPECT_EQ(GetLastError(), uint32_t(ERROR_INVALID_PRINTER_NAME));
    // A queue of CUPS's own under the name is not taken over.
    ASSERT_EQ(vextest::RunProgram("/usr/sbin/lpadmin",
                                  {"-p", "Foreign_Queue", "-v", "socket://127.0.0.9:9100", "-E"}),
              0);
    PRINTER_INFO_2 foreign{
        "Foreign Queue", "", "ZANTOR:127.0.0.2", "Laser 1332 PCL6", "", "", "", 0};
    EXPECT_EQ(AddPrinter(2, &foreign), nullptr);
    EXPECT_EQ(GetLastError(), uint32_t(ERROR_PRINTER_ALREADY_EXISTS));
    EXPECT_NE(CupsOptions("Foreign_Queue").find("socket://127.0.0.9:9100"), std::string::npos);
    // Nothing was left in CUPS by the refusals.
    std::string queues = CupsQueues();
    EXPECT_EQ(vextest::Lines(queues).size(), 2u) << queues;
    // The port names no printer: CUPS prints to the network only.
    PRINTER_INFO_2 local{"Local", "", "LPT1:", "Laser 1332 PCL6", "", "", "", 0};
    EXPECT_EQ(AddPrinter(2, &local), nullptr);
    EXPECT_EQ(GetLastError(), uint32_t(ERROR_UNKNOWN_PORT));
}

TEST_F(CupsSpoolerTest, RenameAndDeleteReachCups) {
    AddLaser();
    HPRINTER hPrinter = nullptr;
    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinter(kQueue, &hPrinter, &all));
    PRINTER_INFO_2 renamed{"Front desk", "", "ZANTOR:127.0.0.2", "Laser 1332 PCL6", "", "", "", 0};
    ASSERT_TRUE(SetPrinter(hPrinter, 2, &renamed, 0)) << GetLastError();
    std::string queues = CupsQueues();
    EXPECT_NE(queues.find("Front_desk"), std::string::npos) << queues;
    EXPECT_EQ(queues.find(kCupsQueue), std::string::npos) << queues;
    ASSERT_TRUE(DeletePrinter(hPrinter));
    ClosePrinter(hPrinter);
    EXPECT_EQ(CupsQueues().find("Front_desk"), std::string::npos);
}

TEST_F(CupsSpoolerTest, AQueueDeletedInCupsLeavesTheSpooler) {
    AddLaser();
    HPRINTER hPrinter = nullptr;
    ASSERT_TRUE(OpenPrinter(kQueue, &hPrinter, nullptr));
    ChangeStamp before = SpoolerChangeStamp();
    ASSERT_EQ(vextest::RunProgram("/usr/sbin/lpadmin", {"-x", kCupsQueue}), 0);
    EXPECT_NE(SpoolerChangeStamp(), before);
    vextest::SQueueRecord queue;
    EXPECT_FALSE(vextest::ReadQueue(kQueue, &queue));
    uint32_t needed = 0;
    EXPECT_FALSE(GetPrinter(hPrinter, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), uint32_t(ERROR_PRINTER_DELETED));
    ClosePrinter(hPrinter);
    // The name is free again.
    ASSERT_EQ(Install({"-n", "-i", kQueue, "Laser 1332 PCL6", "ZANTOR:127.0.0.2"}), 0);
}

TEST_F(CupsSpoolerTest, JobsReachThePrinterAtThePortsAddress) {
    StartPrinter("127.0.0.2");
    AddLaser();
    HPRINTER hPrinter = nullptr;
    ASSERT_TRUE(OpenPrinter(kQueue, &hPrinter, nullptr));
    DOC_INFO_1 doc{"Test page", nullptr, "RAW"};
    uint32_t job = StartDocPrinter(hPrinter, 1, &doc);
    ASSERT_NE(job, 0u) << GetLastError();
    // A second document on the same handle waits for the first.
    EXPECT_EQ(StartDocPrinter(hPrinter, 1, &doc), 0u);
    const std::string data(100000, 'P');
    uint32_t written = 0;
    ASSERT_TRUE(WritePrinter(hPrinter, data.data(), 60000, &written));
    EXPECT_EQ(written, 60000u);
    ASSERT_TRUE(WritePrinter(hPrinter, data.data() + 60000, 40000, &written));
    ASSERT_TRUE(EndDocPrinter(hPrinter));
    EXPECT_FALSE(EndDocPrinter(hPrinter));
    ClosePrinter(hPrinter);
    ASSERT_TRUE(vextest::WaitFor([&] { return JobLines().size() == 1; }, std::chrono::seconds(30)));
    std::string line = JobLines()[0];
    EXPECT_EQ(line.rfind("127.0.0.2 1 100000 ", 0), 0u) << line;
    EXPECT_EQ(vextest::ReadFile(Jobs + "/127.0.0.2-1.prn"), data);

    // A text printed with lp goes through the PCL 6 driver's filters.
    vextest::WriteFile(machine->Root().Path() + "/page.txt", "A test page\n");
    std::string output;
    ASSERT_EQ(vextest::RunProgram(
                  "/usr/bin/lp", {"-d", kCupsQueue, machine->Root().Path() + "/page.txt"}, &output),
              0)
        << output;
    ASSERT_TRUE(vextest::WaitFor([&] { return JobLines().size() == 2; }, std::chrono::seconds(60)))
        << vextest::ReadFile(machine->Root().Path() + "/cups/log/error_log");
    std::string page = vextest::ReadFile(Jobs + "/127.0.0.2-2.prn");
    EXPECT_NE(page.find(") HP-PCL XL"), std::string::npos) << page.substr(0, 200);
}

TEST_F(CupsSpoolerTest, TheDefaultPrinterIsTheUsersCupsDefault) {
    AddLaser();
    std::string output;
    ASSERT_TRUE(
        WriteProfileString("windows", "device", "Laser 1332 (2),Laser 1332 PCL6,ZANTOR:127.0.0.2"));
    vextest::RunProgram("/usr/bin/lpstat", {"-d"}, &output);
    EXPECT_NE(output.find(kCupsQueue), std::string::npos) << output;
    std::string device;
    GetProfileString("windows", "device", "", &device, 1024);
    EXPECT_EQ(device, "Laser 1332 (2),Laser 1332 PCL6,ZANTOR:127.0.0.2");
    // A default set with CUPS's own client is the system's too.
    ASSERT_EQ(vextest::RunProgram("/usr/sbin/lpadmin",
                                  {"-p", "Other", "-v", "socket://127.0.0.9:9100", "-E"}),
              0);
    ASSERT_EQ(vextest::RunProgram("/usr/bin/lpoptions", {"-d", "Other"}, &output), 0) << output;
    GetProfileString("windows", "device", "", &device, 1024);
    EXPECT_EQ(device, "Other,,");
    // Deleting the default queue leaves no stale default behind.
    ASSERT_TRUE(
        WriteProfileString("windows", "device", "Laser 1332 (2),Laser 1332 PCL6,ZANTOR:127.0.0.2"));
    HPRINTER hPrinter = nullptr;
    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinter(kQueue, &hPrinter, &all));
    ASSERT_TRUE(DeletePrinter(hPrinter));
    ClosePrinter(hPrinter);
    GetProfileString("windows", "device", "none", &device, 1024);
    EXPECT_EQ(device, "none");
    vextest::RunProgram("/usr/bin/lpstat", {"-d"}, &output);
    EXPECT_EQ(output.find(kCupsQueue), std::string::npos) << output;
}

// The root's cupsd, found by its configuration's path.
pid_t SchedulerPid(const std::string& csRoot) {
    DIR* proc = ::opendir("/proc");
    pid_t found = -1;
    while (dirent* entry = proc ? ::readdir(proc) : nullptr) {
        std::string cmdline = vextest::ReadFile(std::string("/proc/") + entry->d_name + "/cmdline");
        if (cmdline.rfind("cupsd", 0) == 0 &&
            cmdline.find(csRoot + "/cups/cupsd.conf") != std::string::npos)
            found = pid_t(std::atoi(entry->d_name));
    }
    if (proc)
        ::closedir(proc);
    return found;
}

TEST_F(CupsSpoolerTest, TheSchedulerIsTheSpoolerAndLivesWithTheSpoolerService) {
    AddLaser();
    const std::string root = machine->Root().Path();
    ASSERT_GT(SchedulerPid(root), 0);
    ASSERT_TRUE(vextest::StopSpoolerService());
    EXPECT_TRUE(vextest::WaitFor([&] { return SchedulerPid(root) < 0; }));
    ASSERT_TRUE(vextest::StartSpoolerService());
    // The queue outlives the scheduler's restart.
    vextest::SQueueRecord queue;
    EXPECT_TRUE(vextest::ReadQueue(kQueue, &queue)) << GetLastError();
    // A scheduler gone while the service runs is a spooler that does not answer.
    pid_t pid = SchedulerPid(root);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ASSERT_TRUE(vextest::WaitFor([&] { return SchedulerPid(root) < 0; }));
    HPRINTER hPrinter = nullptr;
    EXPECT_FALSE(OpenPrinter(kQueue, &hPrinter, nullptr));
    EXPECT_EQ(GetLastError(), uint32_t(RPC_S_SERVER_UNAVAILABLE));
    uint32_t needed = 0, count = 0;
    EXPECT_FALSE(EnumPrinters(PRINTER_ENUM_LOCAL, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), uint32_t(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_FALSE(SpoolerChangeStamp().Valid());
}

// A printer that comes back with another address keeps its queue, which now
// prints to the new address.
TEST_F(CupsSpoolerTest, AQueueFollowsItsPrinterToANewAddress) {
    ::setenv("VEX_DELAY_PERCENT", "100", 1); // creation's time limits in full
    machine->Root().EnableTrace(eExeService, 0x07);
    CVexData data;
    ASSERT_TRUE(data.SetOpMode(eModeAutomatic));
    const std::vector<std::string> laser{"--uuid-prefix", "moving", "--interval", "1"};
    StartPrinter("127.0.0.2", laser);
    ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsrv"), {"-install"}), 0);
    ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsrv"), {"-start"}), 0);
    bService = true;
    ASSERT_TRUE(vextest::WaitFor(
        [&] { return CupsQueues().find("socket://127.0.0.2:9100") != std::string::npos; },
        std::chrono::seconds(60)))
        << vextest::ReadFile(machine->Root().WorkDir() + "vexsrv.log");
    // The service restarts the spooler once, soon after its start, and a
    // restart takes the scheduler away from lp for a moment: it is over when
    // the main thread's loop begins.
    ASSERT_TRUE(vextest::WaitFor(
        [&] {
            return vextest::ReadFile(machine->Root().WorkDir() + "vexsrv.log")
                       .find("(CMainThread::Run)main thread loop #0") != std::string::npos;
        },
        std::chrono::seconds(60)));

    // The same printer (its UUID) at another address, its numbers going on.
    EndPrinter(sims[0]);
    std::vector<std::string> moved = laser;
    moved.insert(moved.end(), {"--seq-start", "100000"});
    StartPrinter("127.0.0.5", moved);
    ASSERT_TRUE(vextest::WaitFor(
        [&] { return CupsQueues().find("socket://127.0.0.5:9100") != std::string::npos; },
        std::chrono::seconds(30)))
        << CupsQueues() << vextest::ReadFile(machine->Root().WorkDir() + "vexsrv.log");
    std::string trace = vextest::ReadFile(machine->Root().WorkDir() + "vexsrv.log");
    EXPECT_NE(trace.find("Port ZANTOR:127.0.0.2 moved from 127.0.0.2 to 127.0.0.5"),
              std::string::npos)
        << trace;
    EXPECT_EQ(vextest::Lines(CupsQueues()).size(), 1u) << CupsQueues();

    vextest::WriteFile(machine->Root().Path() + "/raw.prn", "after the move\n");
    std::string output;
    ASSERT_EQ(vextest::RunProgram(
                  "/usr/bin/lp",
                  {"-d", "Laser_1332", "-o", "raw", machine->Root().Path() + "/raw.prn"}, &output),
              0)
        << output << vextest::ReadFile(machine->Root().WorkDir() + "vexsrv.log")
        << vextest::ReadFile(machine->Root().Path() + "/cups/log/error_log");
    ASSERT_TRUE(vextest::WaitFor([&] { return JobLines().size() == 1; }, std::chrono::seconds(30)))
        << vextest::ReadFile(machine->Root().Path() + "/cups/log/error_log");
    EXPECT_EQ(JobLines()[0].rfind("127.0.0.5 1 15 ", 0), 0u) << JobLines()[0];
}

} // namespace
