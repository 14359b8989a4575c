// SIconInfo: one request to create a print queue (an "icon") for a printer,
// as the create-printer dialog fills it and the "Add Icon" command carries it.
//
// A plain record, passed by value; texts are 8-bit, numbers 32-bit.
#pragma once

#include <cstdint>
#include <string>

struct SIconInfo {
    std::string csUUID;        // the printer's UUID (key in the known printer list)
    std::string csPortAddress; // host name when known, else the IP address
    std::string csPortName;    // wished port name
    // Driver type (0 PCL 6, 1 PCL 5, 2 PostScript); 999, none chosen, is refused
    // by the creation, so a forgotten value cannot pass for PCL 6.
    int32_t eDriverType = 999;
    int32_t eUseExisting = 0;     // 0 keep an installed driver, 1 replace it, 2 if newer
    int32_t eUseExistingAddl = 0; // the same for the additional drivers
    std::string csIconName;       // queue name
    std::string csPrinterModel;
    std::string csShareName; // required when bShare is set
    bool bShare = false;
    bool bPublish = false; // publish in the directory
    std::string csLocation;
    std::string csComments;
    std::string csSepPage; // separator page file; empty: none
    bool bInstallAddl = false;
};
