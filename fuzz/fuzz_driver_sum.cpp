// Feeds arbitrary bytes to what the driver update reads from the download
// site: the checksum file, and the package version it names, compared with the
// installed one. The comparison must be an order: a version equals itself,
// and swapping the sides turns the answer round.
#include "FuzzTrace.h"
#include "common/DriverChecksum.h"
#include "common/DriverVersion.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

int Sign(int i) {
    return (i > 0) - (i < 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string csText(reinterpret_cast<const char*>(pData), nSize);
    SDriverSum sum;
    if (ParseDriverSum(csText, &sum) && sum.csVersion.empty())
        std::abort();
    // The bytes also as two versions, split at the first line feed.
    const size_t nSplit = csText.find('\n');
    const std::string csLeft = csText.substr(0, nSplit);
    const std::string csRight = nSplit == std::string::npos ? "" : csText.substr(nSplit + 1);
    if (CompareDriverVersions(csLeft, csLeft) != 0 ||
        Sign(CompareDriverVersions(csLeft, csRight)) !=
            -Sign(CompareDriverVersions(csRight, csLeft)))
        std::abort();
    return 0;
}
