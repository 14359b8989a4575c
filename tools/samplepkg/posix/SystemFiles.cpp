// The emulated machine's package: a PPD per driver folder where CUPS's PPD
// compiler is installed, compiled once per driver type and copied to the other
// systems' folders.
#include "SystemFiles.h"

#include "Ppd.h"

#include <cstdio>
#include <string>

namespace fs = std::filesystem;

const char* BuiltMonitorName() {
    return "zantornpmon.dll";
}

bool LaySpoolerFiles(const fs::path& folder, char driverLetter, std::map<char, fs::path>* pDone) {
    static const bool bPpds = HasPpdCompiler();
    if (!bPpds)
        return true;
    const std::string ppdName = std::string("zantor") + driverLetter + ".ppd";
    auto done = pDone->find(driverLetter);
    if (done == pDone->end()) {
        if (!CompilePpd(folder, driverLetter))
            return false;
        pDone->emplace(driverLetter, folder);
        return true;
    }
    std::error_code ec;
    if (!fs::copy_file(done->second / ppdName, folder / ppdName,
                       fs::copy_options::overwrite_existing, ec)) {
        std::fprintf(stderr, "samplepkg: cannot copy %s: %s\n", ppdName.c_str(),
                     ec.message().c_str());
        return false;
    }
    return true;
}
