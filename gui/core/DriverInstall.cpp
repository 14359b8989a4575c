#include "gui/core/DriverInstall.h"

#include "common/Trace.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/package.h"

#include <filesystem>
#include <system_error>

namespace {

// The installation's file steps write under the installer's routines.
constexpr CTraceName kTraceAsCopyTree("CDriverInstall::CopyTree");
constexpr CTraceName kTraceAsEmptyFolder("CDriverInstall::EmptyFolder");
constexpr CTraceName kTraceAsRemoveBackUps("CDriverInstall::RemoveBackUps");

} // namespace

namespace fs = std::filesystem;

namespace {

// Copies the tree under csFrom into csTo (made when missing), leaving out the
// entry named csSkip at its top. Links and special files are not copied.
bool CopyTree(const fs::path& from, const fs::path& to, const std::string& csSkip = "") {
    std::error_code ec;
    fs::create_directories(to, ec);
    if (ec) {
        kTraceAsCopyTree.Err("Cannot create %s : %s", to.c_str(), ec.message().c_str());
        return false;
    }
    for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& source = it->path();
        if (!csSkip.empty() && source.filename() == csSkip)
            continue;
        fs::file_status status = it->symlink_status(ec);
        if (ec)
            break;
        if (fs::is_directory(status)) {
            if (!CopyTree(source, to / source.filename()))
                return false;
        } else if (fs::is_regular_file(status)) {
            std::string target = (to / source.filename()).string();
            if (!platform::CopyFile(source.string(), target, false)) {
                kTraceAsCopyTree.Err("Cannot copy %s to %s : %s", source.c_str(), target.c_str(),
                                     platform::ErrorText(platform::GetLastError()).c_str());
                return false;
            }
        }
    }
    if (ec) {
        kTraceAsCopyTree.Err("Cannot read %s : %s", from.c_str(), ec.message().c_str());
        return false;
    }
    return true;
}

// Removes every entry of the folder but the one named csKeep.
bool EmptyFolder(const fs::path& folder, const std::string& csKeep) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename() == csKeep)
            continue;
        fs::remove_all(it->path(), ec);
        if (ec)
            break;
    }
    if (ec)
        kTraceAsEmptyFolder.Err("%s : %s", folder.c_str(), ec.message().c_str());
    return !ec;
}

bool RemoveWithRetries(const fs::path& folder) {
    std::error_code ec;
    for (int i = 0; i < 50; ++i) {
        fs::remove_all(folder, ec);
        if (!ec && !fs::exists(folder, ec))
            return true;
        platform::Sleep(100);
    }
    kTraceAsRemoveBackUps.Err("Cannot remove %s", folder.c_str());
    return false;
}

} // namespace

CDriverInstall::CDriverInstall(std::string csDriverDir, std::string csPortMonDir,
                               std::string csTempDir, std::string csPackage)
    : m_csDriverDir(std::move(csDriverDir)), m_csPortMonDir(std::move(csPortMonDir)),
      m_csTempDir(std::move(csTempDir)), m_csPackage(std::move(csPackage)) {}

bool CDriverInstall::BackUp() {
    CTraceScope scope("CDriverInstall::BackUp");
    bool bOk = true;
    for (const std::string& csDir : {m_csDriverDir, m_csPortMonDir}) {
        fs::path bak = fs::path(csDir) / kBackUpFolder;
        std::error_code ec;
        fs::remove_all(bak, ec);
        bOk = !ec && CopyTree(csDir, bak, kBackUpFolder);
        if (!bOk)
            break;
    }
    scope.Result(bOk);
    return bOk;
}

bool CDriverInstall::Extract() {
    CTraceScope scope("CDriverInstall::Extract");
    bool bOk = platform::ExtractPackage(m_csPackage, m_csTempDir);
    if (!bOk)
        scope.Err("Cannot unpack %s : %s", m_csPackage.c_str(),
                  platform::ErrorText(platform::GetLastError()).c_str());
    scope.Result(bOk);
    return bOk;
}

bool CDriverInstall::CopyFiles() {
    CTraceScope scope("CDriverInstall::CopyFiles");
    fs::path monitor = fs::path(m_csTempDir) / kMonitorFolder;
    std::error_code ec;
    bool bOk = true;
    if (fs::is_directory(fs::symlink_status(monitor, ec))) {
        bOk = CopyTree(monitor, m_csPortMonDir);
        fs::remove_all(monitor, ec);
        bOk = bOk && !ec;
    }
    bOk = bOk && CopyTree(m_csTempDir, m_csDriverDir);
    scope.Result(bOk);
    return bOk;
}

bool CDriverInstall::RemoveBackUps() {
    CTraceScope scope("CDriverInstall::RemoveBackUps");
    bool bOk = RemoveWithRetries(fs::path(m_csDriverDir) / kBackUpFolder);
    bOk = RemoveWithRetries(fs::path(m_csPortMonDir) / kBackUpFolder) && bOk;
    scope.Result(bOk);
    return bOk;
}

bool CDriverInstall::Restore() {
    CTraceScope scope("CDriverInstall::Restore");
    bool bOk = true;
    for (const std::string& csDir : {m_csDriverDir, m_csPortMonDir}) {
        fs::path bak = fs::path(csDir) / kBackUpFolder;
        std::error_code ec;
        if (!fs::is_directory(fs::symlink_status(bak, ec)))
            continue;
        if (EmptyFolder(csDir, kBackUpFolder) && CopyTree(bak, csDir)) {
            fs::remove_all(bak, ec);
        } else {
            // The "bak" stays, so the saved files are not lost.
            bOk = false;
        }
    }
    scope.Result(bOk);
    return bOk;
}
