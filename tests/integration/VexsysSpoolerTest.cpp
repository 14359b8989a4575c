// vexsys printer|port|driver|monitor on a set-up system root with the sample
// driver package: what a user does to look into and arrange the spooler.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class VexsysSpoolerTest : public ::testing::Test {
protected:
    int Vexsys(const std::vector<std::string>& args, std::string* output = nullptr) {
        return vextest::RunProgram(vextest::ProgramPath("vexsys"), args, output);
    }
    vextest::TempRoot root;
};

TEST_F(VexsysSpoolerTest, ArrangeQueuesAndTheDefaultPrinter) {
    ASSERT_EQ(0, Vexsys({"setup"}));
    std::string output;
    // Every spooler command fails plainly while the spooler is stopped.
    EXPECT_EQ(1, Vexsys({"printer", "list"}, &output));
    EXPECT_NE(output.find("error 1722"), std::string::npos) << output;
    ASSERT_EQ(0, Vexsys({"service", "start", "Spooler"}, &output)) << output;

    ASSERT_EQ(0, Vexsys({"driver", "add", "Laser 1332 PCL6"}, &output)) << output;
    ASSERT_EQ(0, Vexsys({"port", "add", "ZANTOR:9.8.7.65", "Standard TCP/IP Port"}, &output))
        << output;
    ASSERT_EQ(0, Vexsys({"printer", "add", "Laser 1332", "--port", "ZANTOR:9.8.7.65", "--driver",
                         "Laser 1332 PCL6", "--share", "IP32_65", "--shared", "--comment", "hall"},
                        &output))
        << output;
    EXPECT_EQ(1, Vexsys({"printer", "add", "A,B", "--port", "LPT1:", "--driver", "Laser 1332 PCL6"},
                        &output));
    EXPECT_NE(output.find("error 1801"), std::string::npos) << output;
    EXPECT_EQ(2, Vexsys({"printer", "add", "C", "--port", "LPT1:"}, &output));

    ASSERT_EQ(0, Vexsys({"printer", "default", "laser 1332"}, &output)) << output;
    ASSERT_EQ(0, Vexsys({"printer", "list"}, &output));
    EXPECT_EQ("Laser 1332 (default)\tport=ZANTOR:9.8.7.65\tdriver=Laser 1332 PCL6\tshare=IP32_65\t"
              "attributes=0x0008 shared\tcomment=hall\tlocation=\tseparator=\n",
              output);
    // The entry is the user's own.
    ASSERT_EQ(0, Vexsys({"reg", "get", "HKCU",
                         "Software\\Microsoft\\Windows NT\\CurrentVersion\\Profiles\\" +
                             std::to_string(::getuid()) + "\\windows",
                         "device"},
                        &output));
    EXPECT_NE(output.find("Laser 1332,Laser 1332 PCL6,ZANTOR:9.8.7.65"), std::string::npos)
        << output;

    // The port is busy while the printer uses it.
    EXPECT_EQ(1, Vexsys({"port", "delete", "ZANTOR:9.8.7.65"}, &output));
    ASSERT_EQ(0, Vexsys({"printer", "delete", "Laser 1332"}, &output)) << output;
    ASSERT_EQ(0, Vexsys({"printer", "default"}, &output));
    EXPECT_EQ("(no default printer)\n", output);
    ASSERT_EQ(0, Vexsys({"port", "delete", "ZANTOR:9.8.7.65"}, &output)) << output;
    ASSERT_EQ(0, Vexsys({"driver", "delete", "Laser 1332 PCL6"}, &output)) << output;

    // A monitor's file must be in the system directory.
    EXPECT_EQ(1,
              Vexsys({"monitor", "add", "Zantor TCP/IP Network Port", "zantornpmon.dll"}, &output));
    vextest::WriteFile(root.Path() + "/system/zantornpmon.dll", "monitor");
    ASSERT_EQ(0,
              Vexsys({"monitor", "add", "Zantor TCP/IP Network Port", "zantornpmon.dll"}, &output))
        << output;
    ASSERT_EQ(0, Vexsys({"monitor", "list"}, &output));
    EXPECT_NE(output.find("Zantor TCP/IP Network Port\tenvironment=Windows NT x86\t"
                          "dll=zantornpmon.dll\n"),
              std::string::npos)
        << output;
    ASSERT_EQ(0, Vexsys({"port", "list"}, &output));
    EXPECT_EQ(output.rfind("LPT1:\tmonitor=Local Port\t", 0), 0u) << output;
}

} // namespace
