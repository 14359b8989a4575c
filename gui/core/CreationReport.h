// What the user is told after a printer creation, from the service's result
// code and warning bits: one message (or none) with its icon. Shared by
// "Create printer using defaults" and the create-printer dialog; the caller
// shows it through VexMessageText with its own routine name.
#pragma once

#include "gui/core/VexMessage.h"

#include <cstdint>
#include <string>

struct SCreationReport {
    int iMessageId = 0; // the string id of the message; 0: nothing to show
    std::string csText; // the text to show, warning lines composed in
    EMsgIcon eIcon = EMsgIcon::Exclamation;
    bool bSuccess = false; // the printer was created
    int iVexNumber = 0;    // the number of the "Message VEXnnn displayed" line
};

// bPublishMissing: publishing was asked for on a system that publishes and
// the new queue is not published (PublishMissing below). bWithPortWarning:
// the dialog's case, where a port name other than the one entered is
// reported too (line 5051, first).
SCreationReport ReportCreationResult(int iResultCode, uint32_t uWarnings, bool bPublishMissing,
                                     bool bWithPortWarning);

// Whether a queue that should be published is not: publishing was requested,
// the system is not Windows NT 4.0 (which does not publish) and the queue of
// that name, when it opens, lacks the published attribute.
bool PublishMissing(bool bPublishRequested, const std::string& csQueueName);
