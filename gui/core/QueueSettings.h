// CQueueSettings: the settings of one existing print queue as the Modify
// dialog shows and changes them, read and written through the spooler's
// level-2 printer record. No widgets.
#pragma once

#include "common/IconInfo.h"
#include "platform/spooler.h"

#include <cstdint>
#include <string>

// What applying changes came to.
struct SQueueChange {
    bool bApplied = false;        // the spooler took the new record
    uint32_t dwError = 0;         // the spooler's error when it did not
    bool bPortWarning = false;    // the port asked for is not one of the system's monitor
    bool bPublishWarning = false; // publishing was asked for and the queue is not published
};

class CQueueSettings {
public:
    CQueueSettings() = default;
    ~CQueueSettings();
    CQueueSettings(const CQueueSettings&) = delete;
    CQueueSettings& operator=(const CQueueSettings&) = delete;

    // Opens the queue with all access and reads its record. False when either
    // fails; the handle is then closed and the values stay empty.
    bool Open(const std::string& csQueueName);
    bool IsOpen() const { return m_hPrinter != nullptr; }

    // The queue's settings: its name, port, driver type (from the driver's
    // name), sharing (the share name only when shared), publishing, comment,
    // location and separator page.
    const SIconInfo& Values() const { return m_values; }
    const std::string& QueueName() const { return m_csQueueName; }
    const std::string& ShareName() const { return m_csShareName; }

    // Writes the values into the queue: name (a rename), sharing, publishing,
    // comment, location, separator page, and the port when it is one of the
    // system's own monitor. Then reads back whether the queue is published.
    // The handle is closed afterwards.
    SQueueChange Apply(const SIconInfo& values, bool bPublishPossible);

private:
    void Close();

    platform::HPRINTER m_hPrinter = nullptr;
    std::string m_csQueueName;
    std::string m_csShareName;
    std::string m_csDriverName;
    uint32_t m_dwAttributes = 0;
    SIconInfo m_values;
};

// Whether a port of this name (in any letter case) belongs to the system's own
// port monitor (its name holds "Zantor" and "TCP").
bool IsOwnMonitorPort(const std::string& csPortName);
