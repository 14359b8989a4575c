// The known printer list in memory: order, growth, changes and their event,
// iteration, the model re-check.
#include "TestSupport.h"
#include "TraceLog.h"

#include "common/Printers.h"
#include "common/Trace.h"
#include "common/VexData.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

CPrinter Make(const std::string& csUUID, const std::string& csModel = "Laser 1332") {
    CPrinter p;
    p.m_csUUID = csUUID;
    p.m_csIpAddr = "10.0.0.1";
    p.m_csPrinterModel = csModel;
    p.m_VexState = eVexWaiting;
    return p;
}

std::vector<std::string> Uuids(CPrinters& list) {
    std::vector<std::string> uuids;
    list.ForEach([&](const CPrinter& printer) { uuids.push_back(printer.m_csUUID); });
    return uuids;
}

TEST(PrintersList, InsertionKeepsByteOrderAndReportsPositions) {
    CPrinters list;
    int pos = 99;
    EXPECT_FALSE(list.Find("m", pos));
    EXPECT_EQ(pos, 0);
    ASSERT_TRUE(list.Add(Make("m")));
    ASSERT_TRUE(list.Add(Make("z")));
    ASSERT_TRUE(list.Add(Make("a"))); // before all: every entry moves up
    ASSERT_TRUE(list.Add(Make("M"))); // upper case sorts before lower case
    EXPECT_EQ(Uuids(list), (std::vector<std::string>{"M", "a", "m", "z"}));

    CPrinter found;
    EXPECT_TRUE(list.FindWithPos("m", &found, &pos));
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(found, Make("m"));
    EXPECT_FALSE(list.FindWithPos("b", nullptr, &pos)); // between a and m
    EXPECT_EQ(pos, 2);
    EXPECT_FALSE(list.Find("zz", pos));
    EXPECT_EQ(pos, 4);
    EXPECT_FALSE(list.Find("N", pos)); // after "M", before "a"
    EXPECT_EQ(pos, 1);
    EXPECT_FALSE(list.FindWithPos("", nullptr, &pos));
    EXPECT_EQ(pos, -1);
    EXPECT_TRUE(list.FindWithPos("z", nullptr, nullptr));
}

TEST(PrintersList, RefusedAddsChangeNothingAndSetNoEvent) {
    vextest::TempRoot root;
    CPrinters list;
    EXPECT_FALSE(list.KPLFileNeedsWriting());
    list.SetKplPath(root.Path() + "/kpl");
    ASSERT_TRUE(list.Add(Make("u1")));
    EXPECT_TRUE(list.KPLFileNeedsWriting());
    ASSERT_TRUE(list.Write());
    EXPECT_FALSE(list.KPLFileNeedsWriting());

    CPrinter noAddress = Make("u2");
    noAddress.m_csIpAddr.clear();
    for (const auto& p : {Make(""), Make("u1"), noAddress})
        EXPECT_FALSE(list.Add(p)) << p.m_csUUID;
    EXPECT_FALSE(list.KPLFileNeedsWriting());
    EXPECT_EQ(Uuids(list), std::vector<std::string>{"u1"});
}

TEST(PrintersList, FiftyFirstAddGrowsToOneHundredInOrder) {
    CPrinters list;
    EXPECT_EQ(list.GetCapacity(), 50);
    char uuid[16];
    for (int i = 50; i >= 0; --i) { // descending: every add moves all entries
        std::snprintf(uuid, sizeof uuid, "uuid:%03d", i * 2);
        ASSERT_TRUE(list.Add(Make(uuid)));
        EXPECT_EQ(list.GetCapacity(), i > 0 ? 50 : 100);
    }
    EXPECT_EQ(list.GetCount(), 51);
    ASSERT_TRUE(list.Add(Make("uuid:051"))); // into the middle of the grown array
    auto uuids = Uuids(list);
    ASSERT_EQ(uuids.size(), 52u);
    EXPECT_TRUE(std::is_sorted(uuids.begin(), uuids.end()));
    EXPECT_EQ(uuids[26], "uuid:051");
    for (int i = 0; i < 49; ++i)
        ASSERT_TRUE(list.Add(Make("x" + std::to_string(i))));
    EXPECT_EQ(list.GetCapacity(), 150);
}

TEST(PrintersList, UpdatePrinterSetsTheEventOnlyForARealChange) {
    vextest::TempRoot root;
    CPrinters list;
    list.SetKplPath(root.Path() + "/none/kpl");
    ASSERT_TRUE(list.Add(Make("u1")));
    ASSERT_TRUE(list.Add(Make("u2")));
    ASSERT_TRUE(list.Write() == false); // folder missing: the event stays set
    EXPECT_TRUE(list.KPLFileNeedsWriting());

    // Clear it through a successful write.
    std::filesystem::create_directories(root.Path() + "/none");
    ASSERT_TRUE(list.Write());
    EXPECT_FALSE(list.KPLFileNeedsWriting());

    EXPECT_FALSE(list.UpdatePrinter(Make("u1")));
    EXPECT_FALSE(list.KPLFileNeedsWriting());
    EXPECT_FALSE(list.UpdatePrinter(Make("u3")));
    EXPECT_FALSE(list.KPLFileNeedsWriting());

    CPrinter changed = Make("u1", "laser 1332"); // letter case is a change
    EXPECT_TRUE(list.UpdatePrinter(changed));
    EXPECT_TRUE(list.KPLFileNeedsWriting());
    CPrinter stored;
    ASSERT_TRUE(list.Find("u1", stored));
    EXPECT_EQ(stored, changed);
}

// A record without an address that got in through UpdatePrinter would be
// dropped by the next load (Add refuses it) and then erased by the next write.
TEST(PrintersList, UpdatePrinterRefusesWhatAddRefuses) {
    CTraceLog log;
    vextest::TempRoot root;
    CPrinters list;
    list.SetKplPath(root.Path() + "/kpl");
    ASSERT_TRUE(list.Add(Make("u1")));
    ASSERT_TRUE(list.Write());

    CPrinter noAddress = Make("u1", "Laser 2000");
    noAddress.m_csIpAddr.clear();
    EXPECT_FALSE(list.UpdatePrinter(noAddress));
    EXPECT_FALSE(list.UpdatePrinter(Make("", "Laser 2000")));
    EXPECT_FALSE(list.KPLFileNeedsWriting());
    CPrinter stored;
    ASSERT_TRUE(list.Find("u1", stored));
    EXPECT_EQ(stored, Make("u1"));
    EXPECT_TRUE(log.Has("ERR", "(CPrinters::UpdatePrinter)Bad UUID or IP address on input"));

    // The record survives a write and a load.
    ASSERT_TRUE(list.Write());
    ASSERT_TRUE(list.Read(true));
    EXPECT_EQ(Uuids(list), std::vector<std::string>{"u1"});
}

TEST(PrintersList, RemoveAndExtraInfo) {
    vextest::TempRoot root;
    std::filesystem::create_directories(root.Path() + "/d");
    CPrinters list;
    list.SetKplPath(root.Path() + "/d/kpl");
    for (const char* u : {"a", "b", "c"})
        ASSERT_TRUE(list.Add(Make(u)));
    ASSERT_TRUE(list.Write());

    CPrinterExtraInfo info;
    info.m_csCachedStateVarURL = "changed";
    ASSERT_TRUE(list.FindExtraInfo("b", info));
    EXPECT_EQ(info, CPrinterExtraInfo());
    info.m_ulMostRecentSeqNum = 7;
    info.m_uiFlags = EXTRA_FLAG_PROCESSING;
    EXPECT_TRUE(list.UpdateExtraInfo("b", info));
    EXPECT_FALSE(list.KPLFileNeedsWriting()); // extra info is never stored
    EXPECT_FALSE(list.UpdateExtraInfo("x", info));
    EXPECT_FALSE(list.FindExtraInfo("x", info));

    EXPECT_FALSE(list.Remove("x"));
    EXPECT_FALSE(list.KPLFileNeedsWriting());
    EXPECT_TRUE(list.Remove("a"));
    EXPECT_TRUE(list.KPLFileNeedsWriting());
    EXPECT_EQ(Uuids(list), (std::vector<std::string>{"b", "c"}));
    CPrinterExtraInfo after;
    ASSERT_TRUE(list.FindExtraInfo("b", after)); // moved down with its record
    EXPECT_EQ(after.m_ulMostRecentSeqNum, 7u);

    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_TRUE(list.Add(Make("b"))); // a removed UUID may come back
}

TEST(PrintersList, GetNextStatusesAndPointersIntoTheList) {
    CPrinters list;
    ASSERT_TRUE(list.Add(Make("u1")));
    ASSERT_TRUE(list.Add(Make("u2")));
    list.Lock();
    int handle = CPrinters::kStartHandle, status = -1;
    CPrinterExtraInfo* pExtra = nullptr;
    CPrinter* p = list.GetNext(handle, status, &pExtra);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(status, CPrinters::eNextFound);
    EXPECT_EQ(p->m_csUUID, "u1");
    ASSERT_NE(pExtra, nullptr);
    pExtra->m_uiFlags = EXTRA_FLAG_PROCESSING; // changed in place
    p = list.GetNext(handle, status, &pExtra);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(status, CPrinters::eNextFound);
    EXPECT_EQ(p->m_csUUID, "u2");
    EXPECT_EQ(list.GetNext(handle, status, &pExtra), nullptr);
    EXPECT_EQ(status, CPrinters::eNextEndOfList);
    EXPECT_EQ(pExtra, nullptr);
    list.Unlock();

    for (int bad : {5, 2, -3, INT_MAX}) {
        handle = bad;
        status = -1;
        EXPECT_EQ(list.GetNext(handle, status), nullptr) << bad;
        EXPECT_EQ(status, CPrinters::eNextInvalidHandle) << bad;
    }
    handle = 0; // the second entry follows the first
    p = list.GetNext(handle, status);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_csUUID, "u2");
    EXPECT_EQ(handle, 1);

    CPrinterExtraInfo info;
    ASSERT_TRUE(list.FindExtraInfo("u1", info));
    EXPECT_EQ(info.m_uiFlags, EXTRA_FLAG_PROCESSING);

    CPrinters empty;
    handle = CPrinters::kStartHandle;
    EXPECT_EQ(empty.GetNext(handle, status), nullptr);
    EXPECT_EQ(status, CPrinters::eNextEndOfList);
}

TEST(PrintersList, ForEachGivesExtraInfoOnAskingAndStopsOnFalse) {
    CPrinters list;
    for (const char* uuid : {"u1", "u2", "u3"})
        ASSERT_TRUE(list.Add(Make(uuid)));
    std::vector<std::string> seen;
    list.ForEach([&](CPrinter& printer, CPrinterExtraInfo* pExtra) {
        seen.push_back(printer.m_csUUID);
        EXPECT_NE(pExtra, nullptr);
        if (pExtra)
            pExtra->m_uiFlags = EXTRA_FLAG_PROCESSING; // in place, as with GetNext
        return printer.m_csUUID != "u2";
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"u1", "u2"}));
    CPrinterExtraInfo info;
    ASSERT_TRUE(list.FindExtraInfo("u2", info));
    EXPECT_EQ(info.m_uiFlags, EXTRA_FLAG_PROCESSING);
    ASSERT_TRUE(list.FindExtraInfo("u3", info));
    EXPECT_EQ(info.m_uiFlags, 0u);

    // A lock released early is taken again only once.
    {
        CPrintersLock lock(list);
        lock.Release();
        lock.Release();
        lock.Take();
        lock.Take();
    }
    std::thread([&] { CPrintersLock other(list); }).join(); // nothing left held
}

TEST(PrintersList, ThreadsShareTheListUnderItsLock) {
    CPrinters list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&list, t] {
            for (int i = 0; i < 200; ++i) {
                CPrinter p = Make("t" + std::to_string(t) + "-" + std::to_string(1000 + i));
                list.Add(p);
                // A compound change under the recursive lock.
                list.Lock();
                CPrinter stored;
                if (list.Find(p.m_csUUID, stored)) {
                    stored.m_uiFlags |= PRT_FLAG_ADDING;
                    list.UpdatePrinter(stored);
                }
                list.Unlock();
            }
        });
    for (auto& th : threads)
        th.join();
    auto uuids = Uuids(list);
    ASSERT_EQ(uuids.size(), 800u);
    EXPECT_TRUE(std::is_sorted(uuids.begin(), uuids.end()));
    CPrinter p;
    ASSERT_TRUE(list.Find("t3-1199", p));
    EXPECT_EQ(p.m_uiFlags, PRT_FLAG_ADDING);
}

class CheckSupportedTest : public ::testing::Test {
protected:
    void SetUp() override {
        root.EnableTrace(eExeService, TRACE_ERR | TRACE_WRN | TRACE_INF);
        CVexData data;
        std::string folder = data.GetDriverPath(data.GetOs(), eDriverPcl5);
        std::filesystem::create_directories(folder);
        vextest::WriteFile(folder + "z.inf", "\"Laser 1332 PCL\" = ZA.GPD\r\n");
        TraceInit(eExeService, ".bak");
    }
    std::string Log() {
        TraceShutdown();
        return vextest::ReadFile(root.WorkDir() + CVexData().GetTraceFile(eExeService));
    }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t pos = 0; (pos = text.find(what, pos)) != std::string::npos; ++pos)
            ++n;
        return n;
    }
    vextest::TempRoot root;
};

TEST_F(CheckSupportedTest, MovesPrintersIntoAndOutOfUnsupported) {
    CPrinters list;
    list.SetKplPath(root.WorkDir() + "vexkpl.dat");
    CPrinter a = Make("a"), b = Make("b", "Other 9"), c = Make("c", "Other 9"), d = Make("d");
    a.m_VexState = eVexUnsupported;
    b.m_VexState = eVexAdded;
    c.m_VexState = eVexUnsupported;
    d.m_VexState = eVexIgnore;
    for (const auto& p : {a, b, c, d})
        ASSERT_TRUE(list.Add(p));
    ASSERT_TRUE(list.Write());

    list.CheckSupported();
    EXPECT_TRUE(list.KPLFileNeedsWriting());
    CPrinter p;
    ASSERT_TRUE(list.Find("a", p));
    EXPECT_EQ(p.m_VexState, eVexWaiting);
    ASSERT_TRUE(list.Find("b", p));
    EXPECT_EQ(p.m_VexState, eVexUnsupported);
    ASSERT_TRUE(list.Find("c", p));
    EXPECT_EQ(p.m_VexState, eVexUnsupported);
    ASSERT_TRUE(list.Find("d", p));
    EXPECT_EQ(p.m_VexState, eVexIgnore);

    // Nothing left to change: no event.
    ASSERT_TRUE(list.Write());
    list.CheckSupported();
    EXPECT_FALSE(list.KPLFileNeedsWriting());

    std::string log = Log();
    EXPECT_EQ(Count(log, "(CPrinters::CheckSupported)Found that model 'Laser 1332' is supported"),
              2); // once per call
    EXPECT_EQ(Count(log, "(CPrinters::CheckSupported)Found that model 'Other 9' is unsupported"),
              2);
    EXPECT_EQ(Count(log, "Printer with UUID a was marked as unsupported before, but is now "
                         "supported; model = Laser 1332"),
              1);
    EXPECT_EQ(Count(log, "Printer with UUID b was marked as supported before, but is now "
                         "unsupported; model = Other 9"),
              1);
}

} // namespace
