// The Windows package: each driver folder holds the driver's files that the
// installer names to AddPrinterDriver (the spooler copies them from there).
// They are the sample driver's own stand-ins: no printing system reads them.
#include "SystemFiles.h"

#include "DriverFiles.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

const char* BuiltMonitorName() {
    return "zantornpmon.exe";
}

bool LaySpoolerFiles(const fs::path& folder, char driverLetter, std::map<char, fs::path>*) {
    for (const char* name : {kDriverFile, kDriverDataFile, kDriverConfigFile}) {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out << "Zantor sample driver (" << driverLetter << "): " << name << "\r\n";
        out.close();
        if (!out) {
            std::fprintf(stderr, "samplepkg: cannot write %s\n", (folder / name).string().c_str());
            return false;
        }
    }
    return true;
}
