// The port monitor stand-in's procedure on Windows, called directly (its RPC
// serving apart): the printer looked at over TCP, the port made through the
// local monitor, the printer's address recorded under the monitor's key, and
// the refusals by their codes. The printers are PJL listeners on loopback
// addresses of their own; the monitor's name carries the process id.
#include "SetNewPort.h"

#include "MonitorRegistry.h"
#include "PjlPrinter.h"
#include "SpoolerReads.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/spooler.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace platform;
using win32test::PjlPrinter;

namespace {

const std::string kPid = std::to_string(GetCurrentProcessId());
const std::string kMonitor = "Vex Test Monitor " + kPid;
const std::string kMonitorKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + kMonitor;

struct SAnswer {
    int32_t code;
    std::string csPort;
};

SAnswer Call(const std::string& csPort, const std::string& csAddress) {
    char16_t name[kMonPortNameChars] = {};
    std::u16string port16, address16;
    AnsiToUtf16(csPort, &port16);
    AnsiToUtf16(csAddress, &address16);
    std::copy(port16.begin(), port16.end(), name);
    const int32_t code = SetNewPort(name, address16, 0);
    return {code, Utf16ToAnsi(name, std::char_traits<char16_t>::length(name))};
}

// The port's record: its name in UTF-16 and the address at bytes 532..535.
std::vector<uint8_t> ConfigInfo(const std::string& csPort) {
    HKEY hKey;
    std::vector<uint8_t> info(1024);
    uint32_t type = 0, size = uint32_t(info.size());
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kMonitorKey + "\\Ports\\" + csPort, &hKey) !=
        ERROR_SUCCESS)
        return {};
    if (RegQueryValueEx(hKey, "configInfo", &type, info.data(), &size) != ERROR_SUCCESS)
        size = 0;
    RegCloseKey(hKey);
    info.resize(size);
    return info;
}

std::vector<uint8_t> AddressOf(const std::vector<uint8_t>& info) {
    return info.size() < 536 ? std::vector<uint8_t>{}
                             : std::vector<uint8_t>(info.begin() + 532, info.begin() + 536);
}

bool IsListed(const std::string& csPort) {
    const auto ports = spoolertest::Ports();
    return std::any_of(ports.begin(), ports.end(),
                       [&](const PORT_INFO_2& p) { return csPort == p.pPortName; });
}

class PortMonitorTest : public ::testing::Test {
protected:
    void SetUp() override { SetMonitorName(kMonitor); }
    void TearDown() override {
        for (const std::string& port : m_ports) {
            DeletePort(port);
            RegDeleteKey(HKEY_LOCAL_MACHINE, kMonitorKey + "\\Ports\\" + port);
        }
        RegDeleteKey(HKEY_LOCAL_MACHINE, kMonitorKey + "\\Ports");
        RegDeleteKey(HKEY_LOCAL_MACHINE, kMonitorKey);
    }
    // A port name of the test, removed at its end with its record.
    std::string Port(const std::string& csBase) {
        m_ports.push_back(csBase + "_" + kPid);
        return m_ports.back();
    }

private:
    std::vector<std::string> m_ports;
};

TEST_F(PortMonitorTest, APortIsMadeOncePerPrinterAndATakenNameGetsANumber) {
    PjlPrinter first("127.0.0.41", PjlPrinter::Answer("Zantor Pressa A", false));
    PjlPrinter second("127.0.0.42", PjlPrinter::Answer("Zantor Pressa B", false));
    ASSERT_TRUE(first.Listening() && second.Listening());
    const std::string port = Port("IP_127.0.0.41");
    const std::string numbered = port + " (2)";
    Port(numbered);

    SAnswer made = Call(port, "127.0.0.41");
    EXPECT_EQ(0, made.code);
    EXPECT_EQ(port, made.csPort);
    EXPECT_TRUE(IsListed(port));
    EXPECT_EQ(1, first.Answered());
    const std::vector<uint8_t> info = ConfigInfo(port);
    EXPECT_EQ((std::vector<uint8_t>{127, 0, 0, 41}), AddressOf(info));
    ASSERT_GE(info.size(), 2 * port.size());
    for (size_t i = 0; i < port.size(); ++i)
        EXPECT_EQ(uint8_t(port[i]), info[2 * i]) << i;

    // The same printer again: its port, as it is.
    made = Call(port, "127.0.0.41");
    EXPECT_EQ(0, made.code);
    EXPECT_EQ(port, made.csPort);

    // Another printer wants the name: "name (2)", its own address recorded.
    made = Call(port, "127.0.0.42");
    EXPECT_EQ(51, made.code);
    EXPECT_EQ(numbered, made.csPort);
    EXPECT_TRUE(IsListed(numbered));
    EXPECT_EQ((std::vector<uint8_t>{127, 0, 0, 42}), AddressOf(ConfigInfo(numbered)));
    EXPECT_EQ((std::vector<uint8_t>{127, 0, 0, 41}), AddressOf(ConfigInfo(port)));
}

TEST_F(PortMonitorTest, WhatThePrinterSaysDecidesTheCode) {
    const std::string refused = "Zantor Refused " + kPid;
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, kMonitorKey, &hKey));
    RegSetString(hKey, "Unsupported models", "Other;" + refused);
    RegCloseKey(hKey);
    PjlPrinter unsupported("127.0.0.43", PjlPrinter::Answer(refused, false));
    PjlPrinter readOnly("127.0.0.44", PjlPrinter::Answer("Zantor Pressa A", true));
    ASSERT_TRUE(unsupported.Listening() && readOnly.Listening());

    const std::string none = Port("IP_127.0.0.43");
    SAnswer answer = Call(none, "127.0.0.43");
    EXPECT_EQ(152, answer.code);
    EXPECT_EQ("", answer.csPort);
    EXPECT_FALSE(IsListed(none));

    // A read-only community still gets its port.
    const std::string port = Port("IP_127.0.0.44");
    answer = Call(port, "127.0.0.44");
    EXPECT_EQ(100, answer.code);
    EXPECT_EQ(port, answer.csPort);
    EXPECT_TRUE(IsListed(port));

    // Nobody listens: the connection is refused.
    const std::string silent = Port("IP_127.0.0.45");
    EXPECT_EQ(150, Call(silent, "127.0.0.45").code);
    EXPECT_FALSE(IsListed(silent));
}

TEST_F(PortMonitorTest, BadRequestsAndOthersPortsAreRefusedWithoutAPort) {
    PjlPrinter printer("127.0.0.46", PjlPrinter::Answer("Zantor Pressa A", false));
    ASSERT_TRUE(printer.Listening());
    const std::string port = Port("IP_127.0.0.46");
    EXPECT_EQ(50, Call(port, "").code);
    EXPECT_EQ(50, Call(port, "127.0.0.46 x").code);
    // Not an address nor a name of the hosts file; a printer off this machine.
    EXPECT_EQ(151, Call(port, "no-such-printer-" + kPid).code);
    EXPECT_EQ(151, Call(port, "10.20.30.40").code);
    EXPECT_EQ(52, Call("", "127.0.0.46").code);
    EXPECT_EQ(52, Call("bad/name_" + kPid, "127.0.0.46").code);
    EXPECT_EQ(52, Call(std::string(129, 'p'), "127.0.0.46").code);
    EXPECT_EQ(0, printer.Answered());
    EXPECT_FALSE(IsListed(port));

    // A port of the machine's that this monitor did not make.
    const auto ports = spoolertest::Ports();
    const auto other = std::find_if(ports.begin(), ports.end(), [](const PORT_INFO_2& p) {
        return std::string(p.pPortName).find_first_of("!\\/*?<>|,") == std::string::npos;
    });
    ASSERT_NE(other, ports.end());
    const std::string machines = other->pPortName;
    SAnswer answer = Call(machines, "127.0.0.46");
    EXPECT_EQ(60, answer.code);
    EXPECT_EQ("", answer.csPort);
}

} // namespace
