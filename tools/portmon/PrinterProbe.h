// A look at the printer before its port is made: a TCP connection to its print
// port 9100 and two PJL questions.
#pragma once

#include <cstdint>
#include <string>

struct SPrinterFacts {
    std::string csModel;    // the quoted line of the answer to "INFO ID"
    bool bReadOnly = false; // "SNMP COMMUNITY=READ" in the answer to "INFO CONFIG"
};

// 0 when the printer took the connection (pFacts holds what it told within a
// second), 150 when it refused the connection, 151 when it did not answer in
// time or lies off this machine (only 127.0.0.0/8 is asked: nothing leaves it).
int32_t ProbePrinter(const uint8_t abAddress[4], SPrinterFacts* pFacts);
