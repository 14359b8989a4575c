// Feeds arbitrary bytes as the .inf file of the installed PCL 6 driver folder
// to the model check and the driver version read, as a driver package from the
// download site would lay them (ANSI, or UTF-16 with a byte-order mark).
#include "FuzzTrace.h"
#include "common/VexData.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

std::string g_csInfPath;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartTrace();
    CVexData data;
    data.AddStringData(CVexData::kMainKey, "Working directory", FuzzWorkDir());
    const std::string csDriverDir = data.GetDriverPath(data.GetOs(), eDriverPcl6);
    std::error_code ec;
    std::filesystem::create_directories(csDriverDir, ec);
    g_csInfPath = csDriverDir + "oemsetup.inf";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    std::FILE* pFile = std::fopen(g_csInfPath.c_str(), "wb");
    if (!pFile)
        return 0;
    std::fwrite(pData, 1, nSize, pFile);
    std::fclose(pFile);
    CVexData data;
    data.IsModelSupported("Laser 1332", eDriverPcl6);
    data.IsModelSupported("Zantor \"Laser\" =;[x]", eDriverPcl6);
    data.GetDriverVer(eDriverPcl6);
    return 0;
}
