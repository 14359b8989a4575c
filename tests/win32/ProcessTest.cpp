// Processes on CreateProcess: arguments by the argv rules without a shell,
// signed exit codes, waits with a limit, Terminate's code, the process list.
#include "platform/process.h"
#include "Helpers.h"
#include "platform/error.h"
#include "platform/os.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using namespace platform;

namespace win32test {

int RunHelper(const std::string& csName, const std::vector<std::string>& args) {
    if (csName == "exit_with")
        return std::stoi(args.at(0));
    if (csName == "write_args") {
        std::ofstream out(args.at(0), std::ios::binary);
        for (size_t i = 1; i < args.size(); ++i)
            out << args[i] << "|\n";
        const char* pszValue = std::getenv("VEX_TEST_VALUE");
        out << (pszValue ? pszValue : "(unset)") << "|\n";
        return 0;
    }
    if (csName == "print") {
        std::fputs(args.at(0).c_str(), stdout);
        return 0;
    }
    if (csName == "service")
        return RunService(args);
    if (csName == "port_monitor")
        return RunPortMonitor(args);
    if (csName == "sleep_forever") {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }
    return 100;
}

std::string HelperLine(const std::string& csName, const std::vector<std::string>& args) {
    std::string csSelf;
    GetModuleFileName(&csSelf);
    std::string csLine = QuoteArgument(csSelf) + " --vex-helper=" + csName;
    for (const std::string& csArg : args)
        csLine += " " + QuoteArgument(csArg);
    return csLine;
}

} // namespace win32test

namespace {

using win32test::HelperLine;

std::string TempFile(const char* pszName) {
    return (std::filesystem::temp_directory_path() / pszName).string();
}

TEST(ProcessTest, ArgumentsAndTheEnvironmentReachTheProgramWithoutAShell) {
    const std::string csOut = TempFile("vex-args.txt");
    std::remove(csOut.c_str());
    ProcessOptions options;
    options.vEnvironment = {{"VEX_TEST_VALUE", "set by the starter"}};
    Process process;
    ASSERT_TRUE(process.Start(
        HelperLine("write_args", {csOut, "a & echo injected", "x\\\" y", "", "C:\\dir\\"}),
        options));
    ASSERT_EQ(WaitResult::Signaled, process.Wait(60000));
    std::ifstream in(csOut, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ("a & echo injected|\nx\\\" y|\n|\nC:\\dir\\|\nset by the starter|\n", text.str());
    in.close();
    std::remove(csOut.c_str());
}

TEST(ProcessTest, TheStandardOutputGoesWhereTheStarterSays) {
    const std::string csOut = TempFile("vex-stdout.txt");
    FILE* pFile = std::fopen(csOut.c_str(), "wb");
    ASSERT_NE(nullptr, pFile);
    ProcessOptions options;
    options.hStdOutput = ::_fileno(pFile);
    Process process;
    ASSERT_TRUE(process.Start(HelperLine("print", {"to the file"}), options));
    ASSERT_EQ(WaitResult::Signaled, process.Wait(60000));
    std::fclose(pFile);
    std::ifstream in(csOut, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ("to the file", text.str());
    in.close();
    std::remove(csOut.c_str());

    options.hStdOutput = 9999; // no such descriptor
    EXPECT_FALSE(process.Start(HelperLine("print", {"x"}), options));
}

TEST(ProcessTest, ExitCodesAreSignedAndTerminateSetsTheCode) {
    Process failing;
    ASSERT_TRUE(failing.Start(HelperLine("exit_with", {"-6"})));
    EXPECT_EQ(WaitResult::Signaled, failing.Wait());
    uint32_t code = 0;
    ASSERT_TRUE(failing.GetExitCode(&code));
    EXPECT_EQ(-6, int32_t(code));
    EXPECT_FALSE(failing.Terminate(1));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());

    Process sleeper;
    ASSERT_TRUE(sleeper.Start(HelperLine("sleep_forever")));
    EXPECT_EQ(WaitResult::Timeout, sleeper.Wait(0));
    ASSERT_TRUE(sleeper.GetExitCode(&code));
    EXPECT_EQ(uint32_t(STILL_ACTIVE), code);
    // The running helper is in the process list with its program's path.
    std::vector<ProcessEntry> processes;
    ASSERT_TRUE(EnumProcesses(&processes));
    bool bListed = false;
    for (const ProcessEntry& entry : processes)
        bListed = bListed || (entry.dwProcessId == sleeper.Id() &&
                              entry.csImagePath.find("test_win32.exe") != std::string::npos);
    EXPECT_TRUE(bListed);
    ASSERT_TRUE(sleeper.Terminate(77));
    ASSERT_TRUE(sleeper.GetExitCode(&code));
    EXPECT_EQ(77u, code);
}

TEST(ProcessTest, WhatCannotRunSaysWhy) {
    Process process;
    EXPECT_FALSE(process.Start("C:\\no\\such\\program.exe -x"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(process.Start("   "));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    ProcessOptions badDir;
    badDir.csCurrentDirectory = "C:\\no\\such\\folder";
    EXPECT_FALSE(process.Start(HelperLine("exit_with", {"0"}), badDir));
    EXPECT_EQ(ERROR_DIRECTORY, GetLastError());
    EXPECT_EQ(WaitResult::Failed, process.Wait(0));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST(ProcessTest, AProgramStartsAsTheConsoleUserOnlyForTheSystem) {
    const std::string csOut = TempFile("vex-console-user.txt");
    std::remove(csOut.c_str());
    ProcessOptions options;
    options.bActiveConsoleUser = true;
    options.vEnvironment = {{"VEX_TEST_VALUE", "over the user's own"}};
    Process process;
    const bool bStarted = process.Start(HelperLine("write_args", {csOut}), options);
    if (!win32test::UnderWine()) {
        // Only a service running as LocalSystem obtains the console user's token.
        EXPECT_FALSE(bStarted);
        EXPECT_EQ(ERROR_PRIVILEGE_NOT_HELD, GetLastError());
        return;
    }
    // Wine hands every program the token of the one user it knows.
    ASSERT_TRUE(bStarted) << GetLastError();
    ASSERT_EQ(WaitResult::Signaled, process.Wait(60000));
    std::ifstream in(csOut, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ("over the user's own|\n", text.str());
    in.close();
    std::remove(csOut.c_str());
}

TEST(ProcessTest, TheCallersIdsAreTheSystems) {
    Process process;
    ASSERT_TRUE(process.Start(HelperLine("exit_with", {"0"})));
    EXPECT_NE(process.Id(), GetCurrentProcessId());
    uint32_t dwOther = 0;
    std::thread([&] { dwOther = GetCurrentThreadId(); }).join();
    EXPECT_NE(dwOther, GetCurrentThreadId());
    EXPECT_NE(0u, GetCurrentThreadId());
    EXPECT_TRUE(MakeBrokenPipesWriteErrors());
    ASSERT_EQ(WaitResult::Signaled, process.Wait(60000));
}

} // namespace
