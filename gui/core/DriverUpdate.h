// CDriverUpdate: the work of a driver update, apart from its window. Connect
// (the first worker) finds the package for the chosen driver type on the
// download site, reads its checksum file and decides whether it is newer than
// the installed drivers; DownloadAndInstall (the second worker) downloads it in
// blocks, checks it and installs it. Both honour a CWorkerGate at every block
// and step, so the window can pause and stop them.
#pragma once

#include "common/DriverSite.h"
#include "common/VexData.h"
#include "gui/core/WorkerGate.h"
#include "platform/internet.h"

#include <cstdint>
#include <memory>
#include <string>

// What the workers tell the window. Called from the worker threads.
class CDriverUpdateSink {
public:
    virtual ~CDriverUpdateSink() = default;
    virtual void SetPhase(int iPhase) = 0;
    virtual void SetProgress(int iPosition) = 0; // 0..1000
    virtual void SetStatus(const std::string& csText) = 0;
    // The download has begun: the size text is shown.
    virtual void BeginDownload() = 0;
    // Bytes so far of the package size; shown as a share of the bar and as
    // "%ld kB of %ld kB".
    virtual void SetDownloaded(uint64_t qwBytes, uint64_t qwTotal) = 0;
    // The installation begins: Cancel is disabled and the size text hidden
    // before this returns.
    virtual void BeginInstall() = 0;
    // Message 142: the workstation is not connected; true to start connecting.
    virtual bool AskToConnect() = 0;
};

// How a worker ended.
enum class EUpdateEnd {
    Proceed,   // Connect: a newer package is there, download it
    Installed, // the dialog's OK
    NoNewer,   // the dialog's 7563: the site has nothing newer
    Failed,    // a message (uiMessage) and the dialog's Cancel
    Stopped,   // the user cancelled: the dialog's Cancel, no message
};

struct SUpdateEnd {
    EUpdateEnd eEnd;
    // When Failed: IDS_NO_INTERNET_ACCESS, IDS_SITE_FILE_MISSING or
    // IDS_DOWNLOAD_FAILED (with the stop icon after a failed installation).
    uint32_t uiMessage = 0;
    bool bStopIcon = false;
};

class CDriverUpdate {
public:
    static constexpr uint32_t kBlockSize = 1024;
    static constexpr int kOpenAttempts = 6;
    static constexpr uint32_t kRetryPauseMs = 50;

    CDriverUpdate(eDriverType eType, CDriverUpdateSink& sink, CWorkerGate& gate);
    ~CDriverUpdate();
    CDriverUpdate(const CDriverUpdate&) = delete;
    CDriverUpdate& operator=(const CDriverUpdate&) = delete;

    SUpdateEnd Connect();
    SUpdateEnd DownloadAndInstall();
    // Closes the internet handles (after the workers are done).
    void CloseHandles();
    // Stops the work: the gate's stop and the end of any network wait.
    void Stop();

    // What Connect found (for the trace and the tests).
    const SDriverAddresses& Addresses() const { return m_addresses; }
    const std::string& PackageVersion() const { return m_csPackageVersion; }
    uint64_t PackageSize() const { return m_qwPackageSize; }
    std::string TempDir() const;
    std::string TempFile() const;

private:
    platform::HINTERNET OpenUrl(const std::string& csUrl);
    bool ReadChecksumFile(std::string* pcsText);
    bool FindPackageSize();
    SUpdateEnd Download();
    SUpdateEnd Install();
    void RemoveTemp();
    SUpdateEnd Fail(uint32_t uiMessage, bool bStopIcon = false);

    eDriverType m_eType;
    CDriverUpdateSink& m_sink;
    CWorkerGate& m_gate;
    std::shared_ptr<platform::InternetCancel> m_pCancel;
    platform::HINTERNET m_hSession = nullptr;
    platform::HINTERNET m_hPackage = nullptr;
    SDriverAddresses m_addresses;
    std::string m_csPackageVersion;
    std::string m_csExpectedChecksum;
    uint64_t m_qwPackageSize = 0;
};
