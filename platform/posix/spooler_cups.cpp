// The spooler's printers as CUPS queues: a queue's CUPS name comes from the
// system's name (CupsQueueName), its device from the port's printer address,
// its PPD from the driver's folder, and the system's name, location, sharing
// and separator page go into the queue's attributes.
#include "internal/spooler_cups.h"

#include "internal/cups_client.h"
#include "internal/spooler_store.h"
#include "platform/error.h"
#include "platform/registry.h"

#include <arpa/inet.h>
#include <cstring>
#include <filesystem>
#include <set>
#include <strings.h>

namespace platform::posix::spooler {

namespace {

constexpr uint16_t kRawPrintPort = 9100;
// Where a monitor records a port's printer address: bytes 532..535 of the
// port's "configInfo" value.
constexpr size_t kConfigInfoAddress = 532;

struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

// The printer address its monitor recorded for the port; for a port without a
// record, an address in its name ("ZANTOR:127.0.0.5 (2)").
bool PortAddress(const std::string& csPort, std::string* pcsAddress) {
    std::string monitor;
    {
        StatementScope stmt(Store().Prepare("SELECT monitor FROM spl_ports WHERE name=?"));
        if (!stmt)
            return false;
        BindText(stmt.get(), 1, csPort);
        if (sqlite3_step(stmt.get()) != SQLITE_ROW)
            return Fail(ERROR_UNKNOWN_PORT);
        monitor = ColumnText(stmt.get(), 0);
    }
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE,
                     "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + monitor +
                         "\\Ports\\" + csPort,
                     &hKey) == ERROR_SUCCESS) {
        uint8_t info[kConfigInfoAddress + 4];
        uint32_t type = 0, size = sizeof info;
        uint32_t rc = RegQueryValueEx(hKey, "configInfo", &type, info, &size);
        RegCloseKey(hKey);
        if ((rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) && size >= sizeof info) {
            char text[INET_ADDRSTRLEN];
            *pcsAddress = inet_ntop(AF_INET, info + kConfigInfoAddress, text, sizeof text);
            return true;
        }
    }
    size_t colon = csPort.find(':');
    std::string tail = colon == std::string::npos ? "" : csPort.substr(colon + 1);
    tail = tail.substr(0, tail.find(' '));
    in_addr addr{};
    if (inet_pton(AF_INET, tail.c_str(), &addr) != 1)
        return Fail(ERROR_UNKNOWN_PORT); // a local port: CUPS here prints to the network only
    *pcsAddress = tail;
    return true;
}

// The PPD the driver package carries beside the driver's files; empty for a
// driver without one (a raw queue).
bool DriverPpd(const std::string& csDriver, std::string* pcsPpd) {
    std::string driverPath;
    {
        StatementScope stmt(
            Store().Prepare("SELECT driver_path FROM spl_drivers WHERE name=? AND environment=? "
                            "ORDER BY version DESC"));
        if (!stmt)
            return false;
        BindText(stmt.get(), 1, csDriver);
        BindText(stmt.get(), 2, kCurrentEnvironment);
        if (sqlite3_step(stmt.get()) != SQLITE_ROW)
            return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
        driverPath = ColumnText(stmt.get(), 0);
    }
    pcsPpd->clear();
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(driverPath).parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (strcasecmp(entry.path().extension().c_str(), ".ppd") == 0 &&
            entry.is_regular_file(ec)) {
            *pcsPpd = entry.path().string();
            break;
        }
    }
    return true;
}

// The banner of a separator page file: its name without folder and extension,
// where the scheduler has a banner of that name. A raw queue would send the
// banner's template text as it is, so it gets none.
std::string BannerOf(const std::string& csSepFile, bool bRaw) {
    std::string stem = std::filesystem::path(csSepFile).stem().string();
    size_t slash = stem.find_last_of("\\");
    if (slash != std::string::npos)
        stem = stem.substr(slash + 1);
    for (char& c : stem)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return !bRaw && cups::HasBanner(stem) ? stem : "none";
}

} // namespace

bool OnCups() {
    return GetSpoolerBackEnd() == SpoolerBackEnd::Cups;
}

bool CupsPutQueue(const std::string& csOldName, const PRINTER_INFO_2& printer) {
    cups::SCupsQueue queue;
    queue.csInfo = Text(printer.pPrinterName);
    queue.csCupsName = CupsQueueName(queue.csInfo);
    if (queue.csCupsName.empty())
        return Fail(ERROR_INVALID_PRINTER_NAME);
    // A queue of the scheduler's that the system did not make is not taken over.
    std::string oldCupsName = CupsQueueName(csOldName);
    bool bExists = false;
    if (strcasecmp(oldCupsName.c_str(), queue.csCupsName.c_str()) != 0 &&
        (!cups::QueueExists(queue.csCupsName, &bExists) || bExists))
        return bExists ? Fail(ERROR_PRINTER_ALREADY_EXISTS) : false;
    std::string address;
    if (!PortAddress(Text(printer.pPortName), &address) ||
        !DriverPpd(Text(printer.pDriverName), &queue.csPpdFile))
        return false;
    queue.csDeviceUri = "socket://" + address + ":" + std::to_string(kRawPrintPort);
    queue.csLocation = Text(printer.pLocation);
    queue.bShared = printer.Attributes & PRINTER_ATTRIBUTE_SHARED;
    queue.csBanner = BannerOf(Text(printer.pSepFile), queue.csPpdFile.empty());
    if (!cups::AddOrModifyQueue(queue))
        return false;
    // CUPS cannot rename: the queue of the new name replaces the old one.
    if (!csOldName.empty() && strcasecmp(oldCupsName.c_str(), queue.csCupsName.c_str()) != 0)
        return cups::DeleteQueue(oldCupsName);
    return true;
}

bool CupsRemoveQueue(const std::string& csName) {
    return cups::DeleteQueue(CupsQueueName(csName));
}

bool CupsForgetVanishedQueues() {
    std::vector<std::string> names;
    if (!cups::ListQueueNames(&names))
        return false;
    std::set<std::string, CaseLess> present(names.begin(), names.end());
    std::vector<std::string> vanished;
    {
        StatementScope stmt(Store().Prepare("SELECT name FROM spl_printers"));
        if (!stmt)
            return false;
        while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
            std::string name = ColumnText(stmt.get(), 0);
            if (!present.count(CupsQueueName(name)))
                vanished.push_back(name);
        }
    }
    for (const std::string& name : vanished) {
        if (!Execute("DELETE FROM spl_printers WHERE name=?", {name}))
            return false;
    }
    return true;
}

} // namespace platform::posix::spooler
