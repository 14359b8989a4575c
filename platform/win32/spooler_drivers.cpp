// Printer drivers of the machine's spooler on Windows (level 3, without help
// file and dependent files). The driver's files lie in the spooler's driver
// folder of its environment (GetPrinterDriverDirectory), as the system wants
// them.
#include "platform/error.h"
#include "platform/spooler.h"
#include "spooler_records.h"

#include "spooler_api.h"

namespace platform {

using namespace win32::spooler;

namespace {

struct SDriver {
    uint32_t version;
    std::string name, environment, driverPath, dataFile, configFile;
};

bool ReadDrivers(const char* pEnvironment, std::vector<SDriver>* pDrivers) {
    std::vector<uint64_t> buffer;
    DWORD count = 0;
    if (!ReadSystemRecords(
            [pEnvironment](BYTE* p, DWORD cb, DWORD* pNeeded, DWORD* pReturned) {
                return ::EnumPrinterDriversA(nullptr, const_cast<char*>(pEnvironment), 3, p, cb,
                                             pNeeded, pReturned);
            },
            &buffer, &count))
        return false;
    auto* records = reinterpret_cast<DRIVER_INFO_3A*>(buffer.data());
    pDrivers->clear();
    for (DWORD i = 0; i < count; ++i) {
        const DRIVER_INFO_3A& d = records[i];
        pDrivers->push_back({uint32_t(d.cVersion), Text(d.pName), Text(d.pEnvironment),
                             Text(d.pDriverPath), Text(d.pDataFile), Text(d.pConfigFile)});
    }
    return true;
}

// Null or "": this machine's environment.
bool IsMachineEnvironment(const char* pEnvironment) {
    return Text(pEnvironment).empty() || SameText(pEnvironment, kMachineEnvironment);
}

} // namespace

bool EnumPrinterDrivers(const char* pEnvironment, uint32_t Level, uint8_t* pDriverInfo,
                        uint32_t cbBuf, uint32_t* pcbNeeded, uint32_t* pcReturned) {
    if (Level != 3)
        return Fail(ERROR_INVALID_LEVEL);
    std::vector<SDriver> drivers;
    if (!ReadDrivers(Text(pEnvironment).empty() ? nullptr : pEnvironment, &drivers))
        return false;
    return PackDrivers(drivers, pDriverInfo, cbBuf, pcbNeeded, pcReturned);
}

bool AddPrinterDriver(uint32_t Level, const DRIVER_INFO_3* pDriverInfo) {
    if (Level != 3)
        return Fail(ERROR_INVALID_LEVEL);
    if (!pDriverInfo || Text(pDriverInfo->pName).empty())
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string csEnvironment = IsMachineEnvironment(pDriverInfo->pEnvironment)
                                          ? kMachineEnvironment
                                          : pDriverInfo->pEnvironment;
    DRIVER_INFO_3A info{};
    info.cVersion = pDriverInfo->cVersion;
    info.pName = const_cast<char*>(pDriverInfo->pName);
    info.pEnvironment = const_cast<char*>(csEnvironment.c_str());
    info.pDriverPath = const_cast<char*>(pDriverInfo->pDriverPath);
    info.pDataFile = const_cast<char*>(pDriverInfo->pDataFile);
    info.pConfigFile = const_cast<char*>(pDriverInfo->pConfigFile);
    return ::AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&info)) || SystemFail();
}

bool DeletePrinterDriver(const char* pEnvironment, const std::string& csDriverName) {
    std::vector<SDriver> drivers;
    if (!ReadDrivers(IsMachineEnvironment(pEnvironment) ? nullptr : pEnvironment, &drivers))
        return false;
    bool bKnown = false;
    for (const SDriver& driver : drivers)
        bKnown = bKnown || SameText(driver.name, csDriverName);
    if (!bKnown)
        return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    if (IsMachineEnvironment(pEnvironment)) {
        std::vector<uint64_t> buffer;
        std::vector<PRINTER_INFO_2A*> printers;
        if (!ReadSystemPrinters(&buffer, &printers))
            return false;
        for (const PRINTER_INFO_2A* printer : printers)
            if (SameText(Text(printer->pDriverName), csDriverName))
                return Fail(ERROR_PRINTER_DRIVER_IN_USE);
    }
    // No specific version: every version goes (the driver's files stay).
    return ::DeletePrinterDriverExA(nullptr, const_cast<char*>(pEnvironment),
                                    const_cast<char*>(csDriverName.c_str()), 0, 0) ||
           SystemFail();
}

} // namespace platform
