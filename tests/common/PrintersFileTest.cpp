// The known printer list and its file: stored bytes, the ".copy" fall-back,
// damaged files, busy files, a writer killed at random moments, and two
// processes writing the same file.
#include "TestSupport.h"

#include "common/Archive.h"
#include "common/Printers.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/error.h"
#include "platform/files.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <thread>

namespace {

using platform::FILE_ATTRIBUTE_ARCHIVE;
using platform::FILE_ATTRIBUTE_HIDDEN;
using platform::FILE_ATTRIBUTE_READONLY;

CPrinter Make(int i, const std::string& csTag = "") {
    char uuid[48];
    std::snprintf(uuid, sizeof uuid, "uuid:%08d-aaaa-bbbb-cccc-000000000000", i);
    CPrinter p;
    p.m_csUUID = uuid;
    p.m_csIpAddr = "10.1." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
    p.m_csHostName = "printer" + std::to_string(i);
    p.m_csPrinterModel = "Laser 1332";
    p.m_csMicrocodeLevel = csTag;
    p.m_csIconName = "Laser 1332 (" + std::to_string(i) + ")";
    p.m_VexState = eVexAdded;
    p.m_uiFlags = PRT_FLAG_HOSTNAME_USED;
    p.m_uiPrtConfig1Var = 0xC0000000u | uint32_t(i);
    return p;
}

void Fill(CPrinters& list, int count, const std::string& csTag = "") {
    for (int i = 0; i < count; ++i)
        list.Add(Make(i, csTag));
}

std::string StoredBytes(int count, const std::string& csTag = "") {
    std::string bytes;
    CArchive ar(&bytes);
    ar.Write(int32_t(count));
    for (int i = 0; i < count; ++i) {
        CPrinter p = Make(i, csTag);
        p.Serialize(ar);
    }
    return bytes;
}

// Every record of the list carries the same tag; returns it ("" when mixed).
std::string CommonTag(CPrinters& list) {
    std::string tag;
    bool first = true;
    list.Lock();
    int handle = CPrinters::kStartHandle, status = 0;
    while (CPrinter* p = list.GetNext(handle, status)) {
        if (first)
            tag = p->m_csMicrocodeLevel;
        else if (tag != p->m_csMicrocodeLevel)
            tag = "<mixed>";
        first = false;
    }
    list.Unlock();
    return tag;
}

class PrintersFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        vextest::SetEnvironment("VEX_DELAY_PERCENT", "1");
        root.EnableTrace(eExeService, 0x1F & ~TRACE_DET);
        TraceInit(eExeService, ".bak");
        path = root.WorkDir() + "vexkpl.dat";
        list.SetKplPath(path);
    }
    void TearDown() override { vextest::UnsetEnvironment("VEX_DELAY_PERCENT"); }
    std::string Log() {
        TraceShutdown();
        return vextest::ReadFile(root.WorkDir() + CVexData().GetTraceFile(eExeService));
    }
    static bool Has(const std::string& log, const std::string& text) {
        return log.find(text) != std::string::npos;
    }
    void Put(const std::string& file, const std::string& bytes) {
        platform::SetFileAttributes(file, platform::FILE_ATTRIBUTE_NORMAL);
        vextest::WriteFile(file, bytes);
    }

    vextest::TempRoot root;
    std::string path;
    CPrinters list;
};

TEST_F(PrintersFileTest, EmptyListIsFourZeroBytesInBothFiles) {
    ASSERT_TRUE(list.Write());
    EXPECT_EQ(vextest::ReadFile(path), std::string(4, '\0'));
    EXPECT_EQ(vextest::ReadFile(path + ".copy"), std::string(4, '\0'));
    ASSERT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(PrintersFileTest, WriteStoresBothFilesEqualReadOnlyAndHidden) {
    Fill(list, 300); // well past one 4096-byte buffer
    ASSERT_TRUE(list.KPLFileNeedsWriting());
    ASSERT_TRUE(list.Write());
    EXPECT_FALSE(list.KPLFileNeedsWriting());
    std::string bytes = vextest::ReadFile(path);
    EXPECT_EQ(bytes, StoredBytes(300));
    EXPECT_EQ(vextest::ReadFile(path + ".copy"), bytes);
    uint32_t expected = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    EXPECT_EQ(platform::GetFileAttributes(path), expected);
    EXPECT_EQ(platform::GetFileAttributes(path + ".copy"), expected);

    // A second write replaces the read-only files.
    ASSERT_TRUE(list.Remove(Make(7).m_csUUID));
    ASSERT_TRUE(list.Write());
    CPrinters other;
    other.SetKplPath(path);
    ASSERT_TRUE(other.Read(true));
    EXPECT_EQ(other.GetCount(), 299);
    EXPECT_FALSE(other.KPLFileNeedsWriting());
    CPrinter p;
    ASSERT_TRUE(other.Find(Make(299).m_csUUID, p));
    EXPECT_EQ(p, Make(299));
    EXPECT_FALSE(other.Find(Make(7).m_csUUID, p));
    // No temporary files are left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.WorkDir()), {}), 3);
}

TEST_F(PrintersFileTest, AddingBitIsClearedOnlyWithTheFlag) {
    CPrinter p = Make(1);
    p.m_uiFlags = PRT_FLAG_ADDING | PRT_FLAG_HOSTNAME_USED | 0x80000000u;
    list.Add(p);
    ASSERT_TRUE(list.Write());

    CPrinters gui;
    gui.SetKplPath(path);
    ASSERT_TRUE(gui.Read());
    CPrinter back;
    ASSERT_TRUE(gui.Find(p.m_csUUID, back));
    EXPECT_EQ(back.m_uiFlags, p.m_uiFlags);
    ASSERT_TRUE(gui.Read(false));
    ASSERT_TRUE(gui.Find(p.m_csUUID, back));
    EXPECT_EQ(back.m_uiFlags, p.m_uiFlags);
    ASSERT_TRUE(gui.Read(true));
    ASSERT_TRUE(gui.Find(p.m_csUUID, back));
    EXPECT_EQ(back.m_uiFlags, PRT_FLAG_HOSTNAME_USED | 0x80000000u);
    EXPECT_FALSE(gui.KPLFileNeedsWriting());
    std::string log = Log();
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)Clearing 'adding' bit from m_uiFlags shown above"));
    EXPECT_TRUE(Has(log, "Exit  (CPrinters::Read/0) success"));
}

TEST_F(PrintersFileTest, MissingAndEmptyFilesFallBackToTheCopy) {
    list.Add(Make(1));
    // Neither file: an empty list, and what was in the list is gone.
    ASSERT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 0);

    // An empty main file and a valid copy: the copy is loaded.
    Put(path, "");
    Put(path + ".copy", StoredBytes(3));
    ASSERT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 3);
    // No main file and a valid copy.
    std::filesystem::remove(path);
    ASSERT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 3);
    // Both empty.
    Put(path, "");
    Put(path + ".copy", "");
    ASSERT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 0);
    // A valid main file wins over the copy.
    Put(path, StoredBytes(2));
    Put(path + ".copy", StoredBytes(5));
    ASSERT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 2);

    // A missing folder is an empty list too.
    CPrinters elsewhere;
    elsewhere.SetKplPath(root.Path() + "/nofolder/vexkpl.dat");
    elsewhere.Add(Make(1));
    EXPECT_TRUE(elsewhere.Read(true));
    EXPECT_EQ(elsewhere.GetCount(), 0);

    std::string log = Log();
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)KPL file doesn't exist, but copy file does, so "
                         "using it"));
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)KPL file doesn't exist or is empty"));
}

TEST_F(PrintersFileTest, TruncatedFileFailsKeepsWhatWasReadAndIsSaved) {
    std::string bytes = StoredBytes(10);
    std::string damaged = bytes.substr(0, bytes.size() - 5);
    Put(path, damaged);
    EXPECT_FALSE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 9);
    EXPECT_TRUE(list.KPLFileNeedsWriting());
    EXPECT_EQ(vextest::ReadFile(path + ".save"), damaged);
    EXPECT_EQ(vextest::ReadFile(path), damaged); // left for inspection

    // A damaged main file fails even with a complete copy beside it.
    Put(path + ".copy", bytes);
    EXPECT_FALSE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 9);

    std::string log = Log();
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)Archive exception occurred: 1; KPL saved in " + path +
                             ".save\n"));
    EXPECT_TRUE(Has(log, "Exit  (CPrinters::Read/1) failure"));
}

// The first write of a list stopped while ".copy" was half written: there is no
// main file, so no list was ever committed. Every cut of the copy reads as an
// empty list and is saved; the service may start.
TEST_F(PrintersFileTest, HalfWrittenFirstCopyIsSavedAndReadsAsAnEmptyList) {
    const std::string bytes = StoredBytes(3);
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        std::filesystem::remove(path);
        Put(path + ".copy", bytes.substr(0, cut));
        list.Add(Make(9));
        ASSERT_TRUE(list.Read(true)) << "cut at " << cut;
        EXPECT_EQ(list.GetCount(), 0) << "cut at " << cut;
        EXPECT_FALSE(list.KPLFileNeedsWriting()) << "cut at " << cut;
        ASSERT_EQ(vextest::ReadFile(path + ".save"), bytes.substr(0, cut)) << "cut at " << cut;
        std::filesystem::remove(path + ".save");
    }
    // The same beside an empty main file.
    Put(path, "");
    Put(path + ".copy", bytes.substr(0, 40));
    ASSERT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(vextest::ReadFile(path + ".save"), bytes.substr(0, 40));

    // The next write commits the list and the copy is whole again.
    Fill(list, 2);
    ASSERT_TRUE(list.Write());
    ASSERT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(vextest::ReadFile(path + ".copy"), StoredBytes(2));

    std::string log = Log();
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)The copy file was never completed (a first write "
                         "stopped half-way); starting with an empty list"));
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)Archive exception occurred: 1; KPL saved in " + path +
                             ".save\n"));
}

TEST_F(PrintersFileTest, BadVersionCountAndTrailingBytes) {
    // The third record has version 1: the load stops there, as damage.
    std::string bytes = StoredBytes(5);
    std::string one = StoredBytes(1).substr(4);
    size_t third = 4 + 2 * one.size();
    ASSERT_EQ(bytes.compare(4, one.size(), one), 0);
    bytes[third] = 1;
    Put(path, bytes);
    EXPECT_FALSE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 2);

    Put(path, "\xFF\xFF\xFF\xFF");
    EXPECT_FALSE(list.Read(true));

    // Bytes after the last record are reported and the records kept.
    Put(path, StoredBytes(2) + "junk");
    EXPECT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 2);

    std::string log = Log();
    EXPECT_TRUE(Has(log, "(CPrinter::Serialize)Bad version found: 1\n"));
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)Archive exception occurred: 2; KPL saved in"));
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)Archive exception occurred: 4; KPL saved in"));
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)Bytes follow the last record at offset"));
}

TEST_F(PrintersFileTest, DuplicateRecordsInTheFileAreSkipped) {
    std::string bytes = StoredBytes(2);
    std::string record = bytes.substr(4, (bytes.size() - 4) / 2);
    std::string file =
        std::string("\x03\0\0\0", 4) + record + record + bytes.substr(4 + record.size());
    Put(path, file);
    EXPECT_TRUE(list.Read(true));
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_TRUE(Has(Log(), "(CPrinters::Read/1)Attempt to add printer failed"));
}

TEST_F(PrintersFileTest, BusyFilesAreRetriedThenGivenUp) {
    Put(path, StoredBytes(4));
    {
        // Another writer holds the main file: the read retries, then fails.
        platform::File writer;
        ASSERT_TRUE(writer.CreateForWrite(path));
        EXPECT_FALSE(list.Read(true));
    }
    {
        // Another writer holds the copy file: the write retries, then fails,
        // the main file stays as it was and the event is set again.
        Put(path, StoredBytes(4));
        Fill(list, 6);
        platform::File writer;
        ASSERT_TRUE(writer.CreateForWrite(path + ".copy"));
        EXPECT_FALSE(list.Write());
        EXPECT_TRUE(list.KPLFileNeedsWriting());
        EXPECT_EQ(vextest::ReadFile(path), StoredBytes(4));
    }
    // Released while a read retries: the read succeeds.
    auto writer = std::make_unique<platform::File>();
    ASSERT_TRUE(writer->CreateForWrite(path));
    writer->Write(StoredBytes(3).data(), StoredBytes(3).size());
    std::thread release([&] {
        vextest::WaitFor([&] {
            return Has(vextest::ReadFile(root.WorkDir() + CVexData().GetTraceFile(eExeService)),
                       "(CPrinters::Read/1)File busy, going to sleep for a while");
        });
        writer->Close();
    });
    EXPECT_TRUE(list.Read(true));
    release.join();
    EXPECT_EQ(list.GetCount(), 3);

    std::string log = Log();
    EXPECT_TRUE(Has(log, "(CPrinters::Read/1)Open of KPL file failed"));
    EXPECT_TRUE(Has(log, "(CPrinters::Write)File busy for write, going to sleep for a while"));
    EXPECT_TRUE(Has(log, "(CPrinters::Write)Open failed with file exception: 32"));
}

TEST_F(PrintersFileTest, WriteIntoAMissingFolderFailsAndKeepsTheEvent) {
    CPrinters lost;
    lost.SetKplPath(root.Path() + "/nofolder/vexkpl.dat");
    lost.Add(Make(1));
    EXPECT_FALSE(lost.Write());
    EXPECT_TRUE(lost.KPLFileNeedsWriting());
    EXPECT_TRUE(Has(Log(), "(CPrinters::Write)Open failed because path to KPL file doesn't exist"));
}

// A writer of the list file for the multi-process tests: writes COUNT printers
// tagged TAG-1, TAG-2, ... to PATH, ITERATIONS times (0: until killed). Creates
// READY once the list is built.
VEX_TEST_HELPER(kpl_writer) {
    if (args.size() < 5)
        return 2;
    CPrinters list;
    list.SetKplPath(args[0]);
    int count = std::atoi(args[1].c_str());
    const std::string& tag = args[2];
    int iterations = std::atoi(args[3].c_str());
    Fill(list, count);
    vextest::WriteFile(args[4], "ready");
    for (int gen = 1; iterations == 0 || gen <= iterations; ++gen) {
        std::string text = tag + "-" + std::to_string(gen);
        list.Lock();
        int handle = CPrinters::kStartHandle, status = 0;
        while (CPrinter* p = list.GetNext(handle, status))
            p->m_csMicrocodeLevel = text;
        list.Unlock();
        // Until killed, a write that gave up on a busy file is followed by the
        // next one: on Windows a file that the test reads cannot be replaced
        // meanwhile.
        if (!list.Write() && iterations != 0)
            return 1;
    }
    return 0;
}

TEST_F(PrintersFileTest, WriterKilledAtRandomMomentsLeavesACompleteFile) {
    TraceShutdown(); // 10,000 records a write: keep the trace out of it
    const int kCount = 10000;
    Fill(list, kCount, "start");
    // Kills fall within about two writes of the helper: timed here, since
    // sanitizer builds write several times slower.
    auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(list.Write());
    auto window = std::max<int64_t>(2 * std::chrono::duration_cast<std::chrono::microseconds>(
                                            std::chrono::steady_clock::now() - started)
                                            .count(),
                                    5000);
    std::mt19937 random(std::random_device{}());
    std::string ready = root.Path() + "/ready";
    std::set<std::string> seen;
    for (int kill = 0; kill < 50; ++kill) {
        std::filesystem::remove(ready);
        pid_t pid = vextest::StartHelper(
            "kpl_writer", {path, std::to_string(kCount), "k" + std::to_string(kill), "0", ready});
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(vextest::WaitFor([&] { return std::filesystem::exists(ready); },
                                     std::chrono::seconds(60)));
        // Once the helper's first write is complete, whatever the machine's load,
        // a random moment within the writes that follow.
        const std::string mine = "k" + std::to_string(kill) + "-";
        ASSERT_TRUE(vextest::WaitFor(
            [&] { return vextest::ReadFile(path).find(mine) != std::string::npos; },
            std::chrono::seconds(60)));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % window));
        ASSERT_TRUE(vextest::KillHelper(pid));
        ASSERT_EQ(vextest::WaitHelper(pid), vextest::kKilledHelper);

        // The main file alone must be complete, all of one write: read here
        // without the ".copy" fall-back.
        std::string bytes = vextest::ReadFile(path);
        CArchive ar(bytes);
        int32_t count = 0;
        ASSERT_TRUE(ar.Read(count)) << "after kill " << kill;
        ASSERT_EQ(count, kCount) << "after kill " << kill;
        CPrinter p;
        std::string tag;
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(p.Serialize(ar)) << "after kill " << kill << ", record " << i;
            if (i == 0)
                tag = p.m_csMicrocodeLevel;
            ASSERT_EQ(p.m_csMicrocodeLevel, tag) << "after kill " << kill << ", record " << i;
        }
        ASSERT_TRUE(ar.AtEnd()) << "after kill " << kill;
        EXPECT_EQ(0u, tag.rfind(mine, 0)) << "after kill " << kill << ": " << tag;
        seen.insert(tag);
        if (kill % 10 == 9) {
            // And the list's own reader agrees.
            CPrinters reader;
            reader.SetKplPath(path);
            ASSERT_TRUE(reader.Read(true)) << "after kill " << kill;
            EXPECT_EQ(reader.GetCount(), kCount);
            EXPECT_EQ(CommonTag(reader), tag);
        }
    }
    EXPECT_EQ(50u, seen.size());
    // A write killed half-way leaves no files behind but its companions.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root.WorkDir()))
        names.insert(entry.path().filename().string());
    names.erase(CVexData().GetTraceFile(eExeService));
    names.erase(CVexData().GetTraceFile(eExeService) + ".bak");
    names.erase("vexkpl.dat.tmp"); // reused by the next write
    EXPECT_EQ(names, (std::set<std::string>{"vexkpl.dat", "vexkpl.dat.copy"}));
}

// Waits for a helper until the deadline; a helper still running then is killed
// and reported as -1000.
int WaitHelperUntil(pid_t pid, std::chrono::seconds deadline) {
    int iExitCode = 0;
    if (!vextest::WaitFor([&] { return vextest::HelperEnded(pid, &iExitCode); }, deadline)) {
        vextest::KillHelper(pid);
        vextest::WaitHelper(pid);
        return -1000;
    }
    return iExitCode;
}

// True when the file at PATH holds exactly the records of the list.
bool FileHoldsTheList(CPrinters& list, const std::string& csPath) {
    CPrinters stored;
    stored.SetKplPath(csPath);
    if (!stored.Read() || stored.GetCount() != list.GetCount())
        return false;
    bool bSame = true;
    list.Lock();
    int handle = CPrinters::kStartHandle, status = 0;
    while (CPrinter* p = list.GetNext(handle, status)) {
        CPrinter found;
        bSame = bSame && stored.Find(p->m_csUUID, found) && found == *p;
    }
    list.Unlock();
    return bSame;
}

// Both lock orders at once on one list: the writer holding the file mutex
// (LockKPLFile) calls Write, while a thread holding the list lock (a compound
// change) calls Write or Read. Run as a helper, so that a deadlock ends at the
// test's deadline instead of hanging the test program. Exits 0 when every
// thread finished and the file holds the last list: no write of an older list
// replaced a newer one.
VEX_TEST_HELPER(kpl_two_orders) {
    if (args.empty())
        return 2;
    CPrinters list;
    list.SetKplPath(args[0]);
    Fill(list, 20);

    // The two orders met head on: each thread holds one lock and wants the other.
    std::atomic<int> step{0};
    std::thread writer([&] {
        list.LockKPLFile();
        step = 1;
        while (step < 2)
            std::this_thread::yield();
        list.Write();
        list.UnlockKPLFile();
    });
    while (step < 1)
        std::this_thread::yield();
    list.Lock();
    step = 2;
    list.UpdatePrinter(Make(1, "compound"));
    const bool bWritten = list.Write();
    list.Unlock();
    writer.join();
    if (!bWritten)
        return 1;

    // And at random moments, with changes between the writes.
    const int kRounds = 40;
    std::thread gathering([&] {
        for (int i = 0; i < kRounds; ++i) {
            list.UpdatePrinter(Make(2, "gathered-" + std::to_string(i)));
            list.LockKPLFile();
            list.Write();
            list.UnlockKPLFile();
        }
    });
    std::thread plain([&] {
        for (int i = 0; i < kRounds; ++i) {
            list.UpdatePrinter(Make(3, "plain-" + std::to_string(i)));
            list.Write();
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        list.Lock();
        list.UpdatePrinter(Make(4, "compound-" + std::to_string(i)));
        list.Write();
        if (i % 8 == 7)
            list.Read();
        list.Unlock();
    }
    gathering.join();
    plain.join();
    return FileHoldsTheList(list, args[0]) ? 0 : 3;
}

TEST_F(PrintersFileTest, TwoLockOrdersAtOnceNeverDeadlockNorLoseTheLastList) {
    TraceShutdown();
    pid_t pid = vextest::StartHelper("kpl_two_orders", {path});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitHelperUntil(pid, std::chrono::seconds(120)), 0)
        << "-1000: deadlocked; 3: the file does not hold the last list";
}

TEST_F(PrintersFileTest, UnmakeableFileMutexFailsEveryLockSafelyAndIsMadeOnce) {
    // A system root below a plain file cannot be made, nor the mutex in it.
    vextest::WriteFile(root.Path() + "/plain", "");
    const std::string csRoot = ::getenv("VEX_ROOT");
    vextest::SetEnvironment("VEX_ROOT", root.Path() + "/plain/root");
    CPrinters unguarded;
    unguarded.SetKplPath(path);
    std::atomic<int> taken{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                if (unguarded.LockKPLFile()) {
                    ++taken;
                    unguarded.UnlockKPLFile();
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    vextest::SetEnvironment("VEX_ROOT", csRoot);
    EXPECT_EQ(taken, 0);

    // Reads and writes go on without the mutex.
    Fill(unguarded, 3);
    ASSERT_TRUE(unguarded.Write());
    ASSERT_TRUE(unguarded.Read(true));
    EXPECT_EQ(unguarded.GetCount(), 3);

    std::string log = Log();
    const std::string csMade = "(CPrinters::LockKPLFile)Failed to create the KPL file mutex: ";
    size_t nMade = 0;
    for (size_t n = log.find(csMade); n != std::string::npos; n = log.find(csMade, n + 1))
        ++nMade;
    EXPECT_EQ(nMade, 1u);
    EXPECT_TRUE(Has(log, "(CPrinters::LockKPLFile)Failed to take the KPL file mutex: "));
}

TEST_F(PrintersFileTest, WriteWaitsForAnotherProgramHoldingTheFileMutex) {
    Fill(list, 5, "mine");
    ASSERT_TRUE(list.Write());
    std::string before = vextest::ReadFile(path);
    std::string ready = root.Path() + "/ready";

    ASSERT_TRUE(list.LockKPLFile());
    pid_t pid = vextest::StartHelper("kpl_writer", {path, "7", "other", "1", ready});
    ASSERT_TRUE(vextest::WaitFor([&] { return std::filesystem::exists(ready); }));
    // The other program's write must not get through while the mutex is held.
    EXPECT_FALSE(vextest::WaitFor([&] { return vextest::ReadFile(path) != before; },
                                  std::chrono::milliseconds(300)));
    // Nor may this program's own read see anything but the old list.
    CPrinters reader;
    reader.SetKplPath(path);
    ASSERT_TRUE(reader.Read(true));
    EXPECT_EQ(CommonTag(reader), "mine");
    list.UnlockKPLFile();
    EXPECT_EQ(vextest::WaitHelper(pid), 0);
    ASSERT_TRUE(reader.Read(true));
    EXPECT_EQ(reader.GetCount(), 7);
    EXPECT_EQ(CommonTag(reader), "other-1");
}

TEST_F(PrintersFileTest, TwoProgramsWritingAtOnceNeverMixTheirLists) {
    TraceShutdown();
    std::string ready = root.Path() + "/ready";
    pid_t pid = vextest::StartHelper("kpl_writer", {path, "500", "B", "40", ready});
    ASSERT_TRUE(vextest::WaitFor([&] { return std::filesystem::exists(ready); }));
    Fill(list, 400);
    CPrinters reader;
    reader.SetKplPath(path);
    for (int gen = 1; gen <= 40; ++gen) {
        list.Lock();
        int handle = CPrinters::kStartHandle, status = 0;
        while (CPrinter* p = list.GetNext(handle, status))
            p->m_csMicrocodeLevel = "A-" + std::to_string(gen);
        list.Unlock();
        ASSERT_TRUE(list.Write());
        ASSERT_TRUE(reader.Read(true));
        std::string tag = CommonTag(reader);
        int expected = tag.rfind("A-", 0) == 0 ? 400 : 500;
        EXPECT_EQ(reader.GetCount(), expected) << tag;
        EXPECT_NE(tag, "<mixed>");
    }
    EXPECT_EQ(vextest::WaitHelper(pid), 0);
}

TEST_F(PrintersFileTest, VexsysKplShowsRecordsOrWhereTheFileIsDamaged) {
    TraceShutdown();
    Fill(list, 3);
    ASSERT_TRUE(list.Write());
    std::string out;
    ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsys"), {"kpl", path}, &out), 0) << out;
    EXPECT_EQ(
        vextest::Lines(out),
        (std::vector<std::string>{Make(0).Describe(1), Make(1).Describe(1), Make(2).Describe(1)}));

    std::string bytes = StoredBytes(3);
    size_t record = (bytes.size() - 4) / 3;
    std::string damaged = root.Path() + "/damaged";
    vextest::WriteFile(damaged, bytes.substr(0, bytes.size() - 3));
    EXPECT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsys"), {"kpl", damaged}, &out), 1);
    EXPECT_NE(out.find("damaged at byte " + std::to_string(bytes.size() - 3) +
                       ", in record 3 of 3 (starting at byte " + std::to_string(4 + 2 * record) +
                       "): the data ends inside a field"),
              std::string::npos)
        << out;

    bytes[4 + record] = 7;
    vextest::WriteFile(damaged, bytes);
    EXPECT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsys"), {"kpl", damaged}, &out), 1);
    EXPECT_NE(out.find("damaged at byte " + std::to_string(4 + record) +
                       ", in record 2 of 3 (starting at byte " + std::to_string(4 + record) +
                       "): version 7"),
              std::string::npos)
        << out;
}

} // namespace

namespace {

// The caps on newcomers never drop a known printer: a file written before them
// loads whole, and the list counts its printers per address from the load on.
TEST_F(PrintersFileTest, AFileWithManyPrintersOfOneAddressLoadsWhole) {
    for (int i = 0; i < 20; ++i) {
        CPrinter p = Make(i);
        p.m_csIpAddr = "10.9.9.9";
        ASSERT_TRUE(list.Add(p));
    }
    ASSERT_TRUE(list.Write());
    CPrinters reread;
    reread.SetKplPath(path);
    ASSERT_TRUE(reread.Read(true));
    EXPECT_EQ(reread.GetCount(), 20);
    EXPECT_EQ(reread.CountAt("10.9.9.9"), 20);
    EXPECT_EQ(reread.Admits("10.9.9.9"), CPrinters::eAddressFull);
    EXPECT_EQ(reread.Admits("10.9.9.8"), CPrinters::eAdmitted);
    ASSERT_TRUE(reread.Read(true)); // a second load replaces the counts too
    EXPECT_EQ(reread.CountAt("10.9.9.9"), 20);
}

} // namespace
