// Installs an unpacked driver package: backs the driver folder and the port
// monitor folder up into their "bak" subfolders, unpacks the package into the
// temporary folder, copies its "portmon" files into the monitor folder and the
// rest into the driver folder, and on failure puts both folders back as they
// were.
#pragma once

#include <string>

class CDriverInstall {
public:
    // Folders end in the path separator or not, as the caller has them.
    CDriverInstall(std::string csDriverDir, std::string csPortMonDir, std::string csTempDir,
                   std::string csPackage);

    // Copies each folder's contents (but "bak") into its "bak", made afresh.
    bool BackUp();
    // Unpacks the package into the temporary folder (platform::ExtractPackage).
    bool Extract();
    // "portmon" to the monitor folder (then removed from the temporary
    // folder), everything else to the driver folder. The package file must be
    // gone from the temporary folder by then.
    bool CopyFiles();
    // Removes the "bak" folders, trying again every 100 ms for a while.
    bool RemoveBackUps();
    // Makes each backed-up folder what its "bak" holds and removes the "bak".
    bool Restore();

    static constexpr const char* kBackUpFolder = "bak";
    static constexpr const char* kMonitorFolder = "portmon";

private:
    std::string m_csDriverDir, m_csPortMonDir, m_csTempDir, m_csPackage;
};
