// vexsys overview: the known printers of a list file beside the queues the
// spooler holds for them.
#include "TestSupport.h"
#include "common/Printers.h"

#include <gtest/gtest.h>

namespace {

int Vexsys(const std::vector<std::string>& args, std::string* output = nullptr) {
    return vextest::RunProgram(vextest::ProgramPath("vexsys"), args, output);
}

void WriteList(const std::string& csPath) {
    CPrinters printers;
    printers.SetKplPath(csPath);
    CPrinter printer;
    printer.m_csUUID = "uuid:created";
    printer.m_csIpAddr = "127.0.0.11";
    printer.m_csHostName = "pressa.local";
    printer.m_csPrinterModel = "Laser 1332";
    printer.m_csIconName = "Laser 1332, Laser gone";
    printer.m_VexState = eVexAdded;
    ASSERT_TRUE(printers.Add(printer));
    printer.m_csUUID = "uuid:waiting";
    printer.m_csHostName = "";
    printer.m_csIpAddr = "127.0.0.12";
    printer.m_csIconName = "";
    printer.m_VexState = eVexWaiting;
    ASSERT_TRUE(printers.Add(printer));
    ASSERT_TRUE(printers.Write());
}

TEST(VexsysOverviewTest, KnownPrintersBesideTheirQueues) {
    vextest::TempRoot root;
    ASSERT_EQ(0, Vexsys({"setup", "--workdir", root.WorkDir()}));
    WriteList(root.WorkDir() + "vexkpl.dat");
    std::string output;
    ASSERT_EQ(0, Vexsys({"overview"}, &output)) << output;
    std::vector<std::string> lines = vextest::Lines(output);
    ASSERT_EQ(lines.size(), 5u) << output;
    EXPECT_EQ(lines[0], "Known printers in " + root.WorkDir() + "vexkpl.dat: 2");
    EXPECT_EQ(lines[1].rfind("STATE                 MODEL       ADDRESS       QUEUE", 0), 0u)
        << output;
    EXPECT_EQ(lines[2].rfind("printer created       Laser 1332  pressa.local  Laser 1332  "
                             "(spooler not running)",
                             0),
              0u)
        << output;
    EXPECT_NE(lines[3].find("Laser gone"), std::string::npos) << output;
    EXPECT_EQ(lines[4].rfind("awaiting user action  Laser 1332  127.0.0.12    -           -", 0),
              0u)
        << output;
    EXPECT_NE(lines[4].find("uuid:waiting"), std::string::npos) << output;

    ASSERT_EQ(0, Vexsys({"service", "start", "Spooler"}, &output)) << output;
    ASSERT_EQ(0, Vexsys({"driver", "add", "Laser 1332 PCL6"}, &output)) << output;
    ASSERT_EQ(0, Vexsys({"port", "add", "ZANTOR:pressa", "Standard TCP/IP Port"}, &output));
    ASSERT_EQ(0, Vexsys({"printer", "add", "Laser 1332", "--port", "ZANTOR:pressa", "--driver",
                         "Laser 1332 PCL6"},
                        &output));
    ASSERT_EQ(0, Vexsys({"overview"}, &output)) << output;
    lines = vextest::Lines(output);
    ASSERT_EQ(lines.size(), 5u) << output;
    EXPECT_NE(lines[2].find("Laser 1332  ZANTOR:pressa    Laser 1332 PCL6  uuid:created"),
              std::string::npos)
        << output;
    EXPECT_NE(lines[3].find("Laser gone  (no such queue)"), std::string::npos) << output;
    Vexsys({"service", "stop", "Spooler"});

    // No list yet: no known printers.
    ASSERT_EQ(0, Vexsys({"overview", root.Path() + "/nowhere/vexkpl.dat"}, &output));
    EXPECT_EQ(vextest::Lines(output).size(), 2u) << output;
    vextest::WriteFile(root.Path() + "/bad.dat", std::string("\x05\x00\x00\x00", 4));
    EXPECT_EQ(1, Vexsys({"overview", root.Path() + "/bad.dat"}, &output));
    EXPECT_NE(output.find("cannot read the known printer list"), std::string::npos) << output;
}

} // namespace
