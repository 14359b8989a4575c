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

    bool operator==(const SIconInfo&) const = default;
};

// The result codes of a queue creation, as the service answers "Add Icon"
// and "Add Icon Defaults" and the GUI words them.
enum : uint32_t {
    ICON_OK = 0,
    ICON_FAILED = 1,
    ICON_BAD_REQUEST = 2,
    ICON_SPOOLER_DOWN = 3,
    ICON_BAD_PORT_NAME = 4,
    ICON_BAD_ICON_NAME = 5,
    ICON_NO_DRIVER_FILES = 6,
    ICON_MODEL_UNSUPPORTED = 7,
    ICON_BAD_SHARE_NAME = 8,
    ICON_BAD_COMMENTS = 9,
    ICON_BAD_LOCATION = 10,
    ICON_BAD_SEPARATOR_PAGE = 11,
    ICON_PRINTER_SILENT = 12,
};

// Warning bits beside a result (several may be set).
enum : uint32_t {
    ICON_WARN_SHARE_NAME_DROPPED = 0x001,
    ICON_WARN_PUBLISH_CHANGED = 0x002,
    ICON_WARN_OTHER_PORT_NAME = 0x004,
    ICON_WARN_READ_ONLY_COMMUNITY = 0x008,
    ICON_WARN_ADDL_9X_FAILED = 0x010,
    ICON_WARN_ADDL_NT_FAILED = 0x020,
    ICON_WARN_ADDL_2000_FAILED = 0x040,
    ICON_WARN_ADDL_OTHER_FAILED = 0x080,
    ICON_WARN_NO_NT_DRIVER = 0x100,
};
