// The spooler's reads taken whole with the two-call sizing, for the tests of
// both back ends.
#pragma once

#include "platform/error.h"
#include "platform/spooler.h"

#include <gtest/gtest.h>
#include <vector>

namespace spoolertest {

// Reads a whole enumeration with the two-call protocol; the list may grow
// between the calls (other processes share a machine's spooler), which asks
// for a larger buffer again. The records point into storage that the next
// read reuses.
template <class Record, class Enumerate> std::vector<Record> ReadAll(Enumerate enumerate) {
    uint32_t needed = 0, returned = 0;
    static std::vector<uint64_t> storage; // aligned for the records
    if (enumerate(nullptr, 0, &needed, &returned))
        return {};
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INSUFFICIENT_BUFFER);
    for (int attempt = 0; attempt < 10; ++attempt) {
        storage.assign(needed / 8 + 1, 0);
        auto* buffer = reinterpret_cast<uint8_t*>(storage.data());
        if (enumerate(buffer, needed, &needed, &returned)) {
            auto* records = reinterpret_cast<Record*>(buffer);
            return std::vector<Record>(records, records + returned);
        }
        if (platform::GetLastError() != platform::ERROR_INSUFFICIENT_BUFFER)
            break;
    }
    ADD_FAILURE() << "the enumeration failed: " << platform::GetLastError();
    return {};
}

inline std::vector<platform::PRINTER_INFO_2> Printers() {
    return ReadAll<platform::PRINTER_INFO_2>([](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) {
        return platform::EnumPrinters(platform::PRINTER_ENUM_LOCAL, 2, p, cb, n, r);
    });
}

inline std::vector<platform::PORT_INFO_2> Ports() {
    return ReadAll<platform::PORT_INFO_2>([](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) {
        return platform::EnumPorts(2, p, cb, n, r);
    });
}

inline std::vector<platform::MONITOR_INFO_2> Monitors() {
    return ReadAll<platform::MONITOR_INFO_2>([](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) {
        return platform::EnumMonitors(2, p, cb, n, r);
    });
}

inline std::vector<platform::DRIVER_INFO_3> Drivers(const char* environment) {
    return ReadAll<platform::DRIVER_INFO_3>(
        [environment](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) {
            return platform::EnumPrinterDrivers(environment, 3, p, cb, n, r);
        });
}

inline std::vector<platform::JOB_INFO_1> Jobs(platform::HPRINTER h) {
    return ReadAll<platform::JOB_INFO_1>([h](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) {
        return platform::EnumJobs(h, 0, 100, 1, p, cb, n, r);
    });
}

} // namespace spoolertest
