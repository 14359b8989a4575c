// The printer list's flags that hold back the service's notifications while
// an action or a discovery runs. Shared by the window thread and the
// notification worker; each is a plain flag, set and cleared whole.
#pragma once

#include <atomic>

class QObject;

struct SNotifyFlags {
    std::atomic<bool> m_bHoldKplUpdates{false};
    std::atomic<bool> m_bHoldNewPrinters{false};
    std::atomic<bool> m_bNewPrinterHeld{false};
    // The progress dialog of a running discovery, or null; the worker takes it
    // (and clears it) when "Adding Icons" arrives.
    std::atomic<QObject*> m_pProcessingDlg{nullptr};
    bool m_bKplUpdateRunning = false;  // window thread only
    bool m_bNewPrinterRunning = false; // window thread only

    void Hold() {
        m_bHoldKplUpdates = true;
        m_bHoldNewPrinters = true;
    }
    void Release() {
        m_bHoldKplUpdates = false;
        m_bHoldNewPrinters = false;
        m_bNewPrinterHeld = false;
    }
};
