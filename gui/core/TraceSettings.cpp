#include "gui/core/TraceSettings.h"

#include "common/Trace.h"

#include <strings.h>

STraceSettings STraceSettings::Read(eExe exe) {
    CVexData data;
    STraceSettings settings;
    settings.bOn = data.GetTraceOn(exe);
    settings.uiLevel = data.GetTraceLevel(exe);
    settings.bWrapOn = data.GetTraceWrapOn(exe);
    settings.iWrapSize = data.GetTraceWrapSize(exe);
    settings.csFile = data.GetTraceFile(exe);
    return settings;
}

uint32_t TraceLevelFromBoxes(uint32_t uiStoredLevel, uint32_t uiBoxes) {
    return (uiStoredLevel & ~kTraceLevelBoxMask) | (uiBoxes & kTraceLevelBoxMask);
}

bool SameTraceFile(const std::string& csA, const std::string& csB) {
    return strcasecmp(csA.c_str(), csB.c_str()) == 0;
}

STraceWrite WriteTraceChanges(eExe exe, const STraceSettings& read, const STraceSettings& edited) {
    CTraceScope scope("WriteTraceChanges");
    scope.Det("parameters (eExe=%d)", int(exe));
    CVexData data;
    STraceWrite result;
    if (edited.uiLevel != read.uiLevel)
        result.bWritten &= data.SetTraceLevel(exe, edited.uiLevel);
    if (edited.bWrapOn != read.bWrapOn)
        result.bWritten &= data.SetTraceWrapOn(exe, edited.bWrapOn);
    if (edited.iWrapSize != read.iWrapSize)
        result.bWritten &= data.SetTraceWrapSize(exe, edited.iWrapSize);
    if (!SameTraceFile(edited.csFile, read.csFile))
        result.bWritten &= data.SetTraceFile(exe, edited.csFile);
    if (edited.bOn != read.bOn) {
        result.bWritten &= data.SetTraceOn(exe, edited.bOn);
        result.bOnChanged = true;
    }
    scope.Result(result.bWritten);
    return result;
}
