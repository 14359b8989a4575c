// The trace settings of one program (service or GUI) as the trace dialog reads
// them, and the write of those the user changed.
#pragma once

#include "common/VexData.h"

#include <cstdint>
#include <string>

// The level boxes of the dialog: bits 0x01 (errors) to 0x40 (log).
constexpr int kTraceLevelBoxes = 7;
constexpr uint32_t kTraceLevelBoxMask = (1u << kTraceLevelBoxes) - 1;

struct STraceSettings {
    bool bOn = false;
    uint32_t uiLevel = 0;
    bool bWrapOn = false;
    int32_t iWrapSize = 0;
    std::string csFile;

    static STraceSettings Read(eExe exe);
};

// The level mask the boxes give, keeping any bit the boxes do not show as it
// was stored, so that opening and confirming the dialog changes nothing.
uint32_t TraceLevelFromBoxes(uint32_t uiStoredLevel, uint32_t uiBoxes);

// Two file names name the same trace file when they differ only in letter case.
bool SameTraceFile(const std::string& csA, const std::string& csB);

struct STraceWrite {
    bool bOnChanged = false; // the trace-on setting was written: restart that trace
    bool bWritten = true;    // every write that was needed succeeded
};

// Writes, for program exe, each setting of edited that differs from read, in
// this order: level mask, wrap on, wrap size, file name, trace on.
STraceWrite WriteTraceChanges(eExe exe, const STraceSettings& read, const STraceSettings& edited);
