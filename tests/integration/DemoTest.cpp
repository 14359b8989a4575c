// The README's demo, run on the programs of this build, so it cannot rot: the
// announcing printers get queues, a "Discover" finds the ones that only answer
// searches, and everything the demo started is stopped again.
#include "CreationMachine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

int Vexsys(const std::vector<std::string>& args, std::string* output) {
    return vextest::RunProgram(vextest::ProgramPath("vexsys"), args, output);
}

// The overview's line of the printer at csAddress (two blanks end the column).
std::string OverviewLine(const std::string& output, const std::string& csAddress) {
    const size_t nTable = output.find("== The known printers");
    if (nTable == std::string::npos)
        return "";
    for (const std::string& line : vextest::Lines(output.substr(nTable)))
        if (line.find("  " + csAddress + "  ") != std::string::npos)
            return line;
    return "";
}

TEST(DemoTest, FindsCreatesDiscoversAndStopsWhatItStarted) {
    std::string csError;
    ASSERT_TRUE(vextest::EnterPrivateNetwork(&csError)) << csError;
    vextest::TempRoot root;
    const std::string csDemoRoot = root.Path() + "/demo";
    ::setenv("VEX_ROOT", csDemoRoot.c_str(), 1);
    ::setenv("VEX_NETNS", "1", 1);          // the namespace above is the demo's
    ::setenv("VEX_DELAY_PERCENT", "20", 1); // shorter search windows
    std::string output;
    const int rc = vextest::RunProgram(
        "/bin/bash", {std::string(VEX_SOURCE_DIR) + "/scripts/demo-run", VEX_BIN_DIR}, &output);
    ::unsetenv("VEX_DELAY_PERCENT");
    ASSERT_EQ(0, rc) << output;

    EXPECT_NE(output.find("Discover\nSuccess"), std::string::npos) << output;
    for (const char* pszLaser : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
        const std::string line = OverviewLine(output, pszLaser);
        EXPECT_NE(line.find("printer created"), std::string::npos) << output;
        EXPECT_NE(line.find("ZANTOR:" + std::string(pszLaser)), std::string::npos) << output;
    }
    EXPECT_NE(OverviewLine(output, "127.0.0.10").find("unsupported printer model"),
              std::string::npos)
        << output;
    EXPECT_NE(OverviewLine(output, "127.0.0.11").find("awaiting user action"), std::string::npos)
        << output;

    // On CUPS the first queue printed a page to its simulated printer.
    std::string csWhy;
    if (vextest::CupsSchedulerCanRun(&csWhy)) {
        // Which laser is created first, and so named "Laser 1332", varies.
        for (const char* pszQueue : {"Laser_1332", "Laser_1332_+282+29", "Laser_1332_+283+29"})
            EXPECT_NE(output.find("device for " + std::string(pszQueue) + ": socket://127.0.0."),
                      std::string::npos)
                << output;
        EXPECT_NE(output.find("Page printed through CUPS to the simulated printer at 127.0.0."),
                  std::string::npos)
            << output;
    } else {
        EXPECT_NE(output.find("the demo runs on the emulated spooler"), std::string::npos)
            << output;
    }

    // The service is gone and the spooler stopped.
    std::string services;
    ASSERT_EQ(0, Vexsys({"service", "list"}, &services)) << services;
    EXPECT_EQ(services.find("ZANTOR_AMBREL"), std::string::npos) << services;
    EXPECT_NE(services.find("Spooler\tSTOPPED"), std::string::npos) << services;
    ::setenv("VEX_ROOT", root.Path().c_str(), 1);
}

} // namespace
