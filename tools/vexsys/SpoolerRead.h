// Reading a whole spooler enumeration for the vexsys commands.
#pragma once

#include "platform/error.h"

#include <cstdint>
#include <vector>

namespace vexsys {

// Reads a whole enumeration with the two-call protocol; false (last error set)
// when the spooler refuses. The records point into *pStorage.
template <class Record, class Enumerate>
bool ReadAll(Enumerate enumerate, std::vector<uint64_t>* pStorage, std::vector<Record>* pRecords) {
    uint32_t needed = 0, returned = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        auto* buffer = reinterpret_cast<uint8_t*>(pStorage->data());
        uint32_t size = uint32_t(pStorage->size() * sizeof(uint64_t));
        if (enumerate(size ? buffer : nullptr, size, &needed, &returned)) {
            auto* records = reinterpret_cast<const Record*>(buffer);
            pRecords->assign(records, records + returned);
            return true;
        }
        if (platform::GetLastError() != platform::ERROR_INSUFFICIENT_BUFFER)
            return false;
        // Another process may add between the two calls: size again.
        pStorage->assign(needed / sizeof(uint64_t) + 1, 0);
    }
    return false;
}

} // namespace vexsys
