#include "gui/core/DriverUpdate.h"

#include "common/DriverChecksum.h"
#include "common/DriverVersion.h"
#include "common/Trace.h"
#include "gui/core/DriverInstall.h"
#include "gui/core/IconDlgRules.h"
#include "gui/core/StringIds.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/os.h"

#include <filesystem>
#include <vector>

using namespace platform;

namespace {

const char* const kDownloading = "Downloading software...";
const char* const kInstalling = "Installing software...";

std::string LastErrorText() {
    uint32_t dwError = GetLastError();
    return std::to_string(dwError) + " " + ErrorText(dwError);
}

} // namespace

CDriverUpdate::CDriverUpdate(eDriverType eType, CDriverUpdateSink& sink, CWorkerGate& gate)
    : m_eType(eType), m_sink(sink), m_gate(gate), m_pCancel(std::make_shared<InternetCancel>()) {}

CDriverUpdate::~CDriverUpdate() {
    CloseHandles();
}

std::string CDriverUpdate::TempDir() const {
    return CVexData().GetWorkingDir() + "Temp";
}

std::string CDriverUpdate::TempFile() const {
    return TempDir() + PathSeparator() + "temp.exe";
}

void CDriverUpdate::Stop() {
    m_gate.Stop();
    m_pCancel->Cancel();
}

void CDriverUpdate::CloseHandles() {
    if (m_hPackage)
        InternetCloseHandle(m_hPackage);
    if (m_hSession)
        InternetCloseHandle(m_hSession);
    m_hPackage = m_hSession = nullptr;
}

SUpdateEnd CDriverUpdate::Fail(uint32_t uiMessage, bool bStopIcon) {
    return {m_gate.IsStopped() ? EUpdateEnd::Stopped : EUpdateEnd::Failed, uiMessage, bStopIcon};
}

HINTERNET CDriverUpdate::OpenUrl(const std::string& csUrl) {
    const CTraceName trace("CDriverUpdate::OpenUrl");
    for (int i = 0; i < kOpenAttempts; ++i) {
        if (i > 0)
            Sleep(kRetryPauseMs);
        if (!m_gate.Checkpoint())
            return nullptr;
        HINTERNET hUrl =
            InternetOpenUrl(m_hSession, csUrl, INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE);
        if (hUrl)
            return hUrl;
        trace.Wrn("Cannot open %s : %s", csUrl.c_str(), LastErrorText().c_str());
    }
    return nullptr;
}

bool CDriverUpdate::ReadChecksumFile(std::string* pcsText) {
    CTraceScope scope("CDriverUpdate::ReadChecksumFile");
    HINTERNET hSum = OpenUrl(m_addresses.csChecksum);
    if (!hSum) {
        scope.Result(false);
        return false;
    }
    // One byte more than a checksum file may hold tells a longer one.
    char buffer[kDriverSumMaxBytes + 1];
    size_t total = 0;
    uint32_t dwRead = 0;
    bool bOk = true;
    while (total < sizeof buffer) {
        if (!InternetReadFile(hSum, buffer + total, uint32_t(sizeof buffer - total), &dwRead)) {
            scope.Err("Read failed : %s", LastErrorText().c_str());
            bOk = false;
            break;
        }
        if (dwRead == 0)
            break;
        total += dwRead;
    }
    InternetCloseHandle(hSum);
    pcsText->assign(buffer, total);
    scope.Result(bOk);
    return bOk;
}

bool CDriverUpdate::FindPackageSize() {
    CTraceScope scope("CDriverUpdate::FindPackageSize");
    UrlParts parts;
    bool bOk = CrackUrl(m_addresses.csPackage, &parts);
    // Through a proxy every answer is an HTTP answer; an http site announces
    // the length itself. Only a direct FTP site is asked for a listing.
    if (bOk && (IsProxyEnabled() || parts.csScheme != "ftp")) {
        bOk = HttpQueryContentLength(m_hPackage, &m_qwPackageSize);
    } else if (bOk) {
        HINTERNET hFtp = InternetConnectFtp(
            m_hSession, parts.csHost,
            parts.wPort ? parts.wPort : uint16_t(INTERNET_DEFAULT_FTP_PORT), "", "");
        FindData found;
        bOk = hFtp && FtpFindFirstFile(hFtp, parts.csPath, &found);
        if (bOk)
            m_qwPackageSize = found.qwSize;
        if (hFtp)
            InternetCloseHandle(hFtp);
    }
    if (!bOk)
        scope.Err("No size for %s : %s", m_addresses.csPackage.c_str(), LastErrorText().c_str());
    // An empty package cannot be a driver package, and the bar needs a size.
    bOk = bOk && m_qwPackageSize > 0;
    scope.Result("%llu", static_cast<unsigned long long>(m_qwPackageSize));
    return bOk;
}

SUpdateEnd CDriverUpdate::Connect() {
    CTraceScope scope("CDriverUpdate::Connect");
    m_sink.SetPhase(0);
    if (!IsInternetUsable(InternetSessionOpens) && m_sink.AskToConnect() &&
        !StartConnectionWizard())
        return Fail(IDS_NO_INTERNET_ACCESS);
    if (!m_gate.Checkpoint())
        return Fail(0);

    m_sink.SetProgress(250);
    m_hSession = InternetOpen("", INTERNET_OPEN_TYPE_PRECONFIG);
    for (int i = 0; !m_hSession && i < 5; ++i) {
        Sleep(kRetryPauseMs);
        m_hSession = InternetOpen("", INTERNET_OPEN_TYPE_DIRECT);
    }
    if (!m_hSession) {
        scope.Err("InternetOpen failed : %s", LastErrorText().c_str());
        return Fail(IDS_NO_INTERNET_ACCESS);
    }
    InternetSetCancel(m_hSession, m_pCancel);

    CVexData data;
    std::string csCode, csFolder;
    if (!data.GetLanguageCode(csCode) || !data.GetLanguageFolder(csFolder, csCode) ||
        !BuildDriverAddresses(GetDriverSiteRoot(), data.GetOs(), m_eType, csFolder, csCode,
                              &m_addresses)) {
        // Read again only for the line: both reads write trace lines of their own.
        if (TraceOn(TRACE_ERR))
            scope.Err("The site has no package for system %d, driver type %d "
                      "and language '%s' (site '%s')",
                      int(data.GetOs()), int(m_eType), csCode.c_str(), GetDriverSiteRoot().c_str());
        return Fail(IDS_NO_INTERNET_ACCESS);
    }
    scope.Inf("Package %s, checksum file %s", m_addresses.csPackage.c_str(),
              m_addresses.csChecksum.c_str());
    std::string csSumText;
    SDriverSum sum;
    if (!ReadChecksumFile(&csSumText) || !ParseDriverSum(csSumText, &sum)) {
        scope.Err("No usable checksum file at %s", m_addresses.csChecksum.c_str());
        return Fail(IDS_NO_INTERNET_ACCESS);
    }
    m_csPackageVersion = sum.csVersion;
    m_csExpectedChecksum = sum.csChecksum;

    std::string csInstalled = data.GetDriverVer(m_eType);
    if (CompareDriverVersions(m_csPackageVersion, csInstalled) <= 0) {
        scope.Inf("Package version %s is not newer than %s", m_csPackageVersion.c_str(),
                  csInstalled.c_str());
        CloseHandles();
        scope.Result("no newer software");
        return {EUpdateEnd::NoNewer};
    }

    m_sink.SetProgress(500);
    m_hPackage = OpenUrl(m_addresses.csPackage);
    if (!m_hPackage)
        return Fail(IDS_SITE_FILE_MISSING);
    m_sink.SetProgress(750);
    if (!FindPackageSize())
        return Fail(IDS_SITE_FILE_MISSING);
    scope.Result("version %s, %llu bytes", m_csPackageVersion.c_str(),
                 static_cast<unsigned long long>(m_qwPackageSize));
    return {EUpdateEnd::Proceed};
}

void CDriverUpdate::RemoveTemp() {
    const CTraceName trace("CDriverUpdate::RemoveTemp");
    std::error_code ec;
    std::filesystem::remove_all(TempDir(), ec);
    // The folder's name is a settings read, with lines of its own.
    if (ec && TraceOn(TRACE_ERR))
        trace.Err("Cannot remove %s : %s", TempDir().c_str(), ec.message().c_str());
}

SUpdateEnd CDriverUpdate::Download() {
    CTraceScope scope("CDriverUpdate::Download");
    m_sink.SetProgress(0);
    m_sink.SetStatus(kDownloading);
    m_sink.BeginDownload();
    m_sink.SetDownloaded(0, m_qwPackageSize);
    if (!CreateDirectory(TempDir()) && GetLastError() != ERROR_ALREADY_EXISTS) {
        if (TraceOn(TRACE_ERR))
            scope.Err("Cannot create %s : %s", TempDir().c_str(), LastErrorText().c_str());
        return Fail(IDS_DOWNLOAD_FAILED);
    }
    File file;
    if (!file.CreateForWrite(TempFile())) {
        if (TraceOn(TRACE_ERR))
            scope.Err("Cannot create %s : %s", TempFile().c_str(), LastErrorText().c_str());
        RemoveTemp();
        return Fail(IDS_DOWNLOAD_FAILED);
    }
    char block[kBlockSize];
    uint64_t qwDone = 0;
    while (true) {
        if (!m_gate.Checkpoint()) {
            file.Close();
            RemoveTemp();
            return Fail(0);
        }
        uint32_t dwRead = 0;
        if (!InternetReadFile(m_hPackage, block, kBlockSize, &dwRead) ||
            (dwRead > 0 && !file.Write(block, dwRead))) {
            scope.Err("Failed after %llu bytes : %s", static_cast<unsigned long long>(qwDone),
                      LastErrorText().c_str());
            file.Close();
            RemoveTemp();
            return Fail(IDS_DOWNLOAD_FAILED);
        }
        if (dwRead == 0)
            break;
        qwDone += dwRead;
        m_sink.SetDownloaded(qwDone, m_qwPackageSize);
    }
    if (!file.Close()) {
        RemoveTemp();
        return Fail(IDS_DOWNLOAD_FAILED);
    }
    std::string csChecksum;
    if (!FileChecksumText(TempFile(), &csChecksum) || csChecksum != m_csExpectedChecksum) {
        scope.Err("Checksum %s of the package differs from %s", csChecksum.c_str(),
                  m_csExpectedChecksum.c_str());
        RemoveTemp();
        return Fail(IDS_DOWNLOAD_FAILED);
    }
    scope.Result("%llu bytes", static_cast<unsigned long long>(qwDone));
    return {EUpdateEnd::Proceed};
}

SUpdateEnd CDriverUpdate::Install() {
    CTraceScope scope("CDriverUpdate::Install");
    m_sink.SetProgress(0);
    m_sink.BeginInstall();
    m_sink.SetStatus(kInstalling);
    // The last chance for a Cancel asked just before it was disabled.
    if (!m_gate.Checkpoint()) {
        RemoveTemp();
        return Fail(0);
    }
    CVexData data;
    CDriverInstall install(data.GetDriverPath(data.GetOs(), m_eType), data.GetPortMonPath(),
                           TempDir(), TempFile());
    bool bOk = install.BackUp();
    if (bOk) {
        m_sink.SetProgress(250);
        bOk = install.Extract();
    }
    if (bOk) {
        m_sink.SetProgress(500);
        bOk = DeleteFile(TempFile());
    }
    if (bOk)
        bOk = install.CopyFiles();
    if (bOk) {
        m_sink.SetProgress(750);
        bOk = install.RemoveBackUps();
    }
    if (!bOk) {
        scope.Err("Installation failed, restoring the saved files");
        install.Restore();
        RemoveTemp();
        scope.Result(false);
        return {EUpdateEnd::Failed, IDS_DOWNLOAD_FAILED, true};
    }
    RemoveTemp();
    m_sink.SetProgress(1000);
    scope.Result(true);
    return {EUpdateEnd::Installed};
}

SUpdateEnd CDriverUpdate::DownloadAndInstall() {
    CTraceScope scope("CDriverUpdate::DownloadAndInstall");
    m_sink.SetPhase(1);
    SUpdateEnd end = Download();
    if (end.eEnd == EUpdateEnd::Proceed)
        end = Install();
    scope.Result("%d", int(end.eEnd));
    return end;
}
