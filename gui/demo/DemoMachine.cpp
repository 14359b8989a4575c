#include "DemoMachine.h"

#include "common/Printers.h"
#include "common/VexData.h"
#include "platform/registry.h"
#include "platform/spooler.h"

#include <cstdio>

namespace guidemo {

namespace {
const char* const kModels[] = {"Laser 1332", "Laser 1650", "Color 2200", "Laser 1850", "Jet 4100"};
const char* const kPortsKey =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Zantor TCP/IP Network Port\\Ports";
const char* const kDriver = "Zantor Demo PCL6";
} // namespace

std::vector<CPrinter> MakePrinters(int iCount) {
    static const int32_t kStates[] = {eVexWaiting, eVexAdded,    eVexAdded,       eVexIgnore,
                                      eVexWaiting, eVexAddError, eVexUnsupported, eVexAdded};
    std::vector<CPrinter> printers;
    for (int i = 0; i < iCount; ++i) {
        CPrinter printer;
        char szText[64];
        std::snprintf(szText, sizeof szText, "uuid:4f3c%04x-1d2e-11d4-9c21-0004ac%06x", i, i * 37);
        printer.m_csUUID = szText;
        std::snprintf(szText, sizeof szText, "10.0.%d.%d", (i / 250) % 256, i % 250 + 1);
        printer.m_csIpAddr = szText;
        std::snprintf(szText, sizeof szText, "prn%03d.office.example", i + 1);
        printer.m_csHostName = szText;
        printer.m_csPrinterModel = kModels[i % 5];
        std::snprintf(szText, sizeof szText, "2.%d.%d", 10 + i % 7, i % 13);
        printer.m_csMicrocodeLevel = szText;
        printer.m_VexState = kStates[i % 8];
        printer.m_uiFlags = 0;
        printer.m_uiPrtConfig1Var = (i % 6 == 4) ? 0x40000000u : 0xC0000000u;
        if (printer.m_VexState == eVexAdded) {
            std::snprintf(szText, sizeof szText, "%s (%d)", kModels[i % 5], i + 1);
            printer.m_csIconName = szText;
            if (i == 2)
                printer.m_csIconName +=
                    std::string(", ") + kModels[i % 5] + " Draft, " + kModels[i % 5] + " Duplex";
        }
        printers.push_back(printer);
    }
    return printers;
}

bool WriteList(const std::vector<CPrinter>& printers) {
    CVexData data;
    CPrinters list;
    list.SetKplPath(data.GetWorkingDir() + data.GetKplFile());
    for (const CPrinter& printer : printers)
        list.Add(printer);
    return list.Write();
}

bool AddQueues(const std::vector<CPrinter>& printers, std::string* pcsError) {
    using namespace platform;
    DRIVER_INFO_3 driver{3, kDriver, nullptr, "drv.dll", "drv.gpd", "ui.dll"};
    AddPrinterDriver(3, &driver); // already there on a second run
    for (const CPrinter& printer : printers) {
        if (printer.m_csIconName.empty())
            continue;
        unsigned a = 0, b = 0, c = 0, d = 0;
        std::sscanf(printer.m_csIpAddr.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
        const std::string csPort = "ZNP_" + printer.m_csIpAddr;
        PORT_INFO_2 port{csPort.c_str(), nullptr, "Zantor TCP/IP Network Port", PORT_TYPE_WRITE};
        AddPortEx(2, &port, "Standard TCP/IP Port");
        HKEY hKey = nullptr;
        if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, std::string(kPortsKey) + "\\" + csPort, &hKey) !=
            0) {
            *pcsError = "cannot write the port data of " + csPort;
            return false;
        }
        uint8_t config[540] = {};
        config[532] = uint8_t(a);
        config[533] = uint8_t(b);
        config[534] = uint8_t(c);
        config[535] = uint8_t(d);
        RegSetValueEx(hKey, "configInfo", REG_BINARY, config, sizeof config);
        RegCloseKey(hKey);
        size_t nStart = 0;
        while (nStart <= printer.m_csIconName.size()) {
            size_t nEnd = printer.m_csIconName.find(", ", nStart);
            if (nEnd == std::string::npos)
                nEnd = printer.m_csIconName.size();
            const std::string csName = printer.m_csIconName.substr(nStart, nEnd - nStart);
            PRINTER_INFO_2 info{csName.c_str(), "", csPort.c_str(), kDriver, "", "", "", 0};
            if (HPRINTER hPrinter = AddPrinter(2, &info))
                ClosePrinter(hPrinter);
            nStart = nEnd + 2;
        }
    }
    return true;
}

} // namespace guidemo
