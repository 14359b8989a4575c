#include "common/DriverChecksum.h"

#include "common/Trace.h"
#include "platform/files.h"

#include <array>
#include <cstdio>
#include <vector>

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

// The next field after pos: blanks skipped, up to the next blank or line end.
std::string NextField(const std::string& csText, size_t* pPos) {
    size_t start = csText.find_first_not_of(" \t", *pPos);
    if (start == std::string::npos || csText[start] == '\r' || csText[start] == '\n') {
        *pPos = csText.size();
        return "";
    }
    size_t end = csText.find_first_of(" \t\r\n", start);
    if (end == std::string::npos)
        end = csText.size();
    *pPos = end;
    return csText.substr(start, end - start);
}

} // namespace

bool ParseDriverSum(const std::string& csText, SDriverSum* pSum) {
    CTraceScope scope("ParseDriverSum");
    if (csText.size() > kDriverSumMaxBytes || csText.find("ERROR") != std::string::npos) {
        scope.Result(false);
        return false;
    }
    size_t pos = 0;
    std::string unused = NextField(csText, &pos);
    SDriverSum sum;
    sum.csVersion = NextField(csText, &pos);
    sum.csChecksum = NextField(csText, &pos);
    if (unused.empty() || sum.csVersion.empty() || sum.csChecksum.empty()) {
        scope.Result(false);
        return false;
    }
    *pSum = sum;
    scope.Result("%s %s", sum.csVersion.c_str(), sum.csChecksum.c_str());
    return true;
}

uint32_t UpdateCrc32(uint32_t uCrc, const void* pData, size_t size) {
    const auto* p = static_cast<const uint8_t*>(pData);
    uint32_t c = ~uCrc;
    for (size_t i = 0; i < size; ++i)
        c = kCrcTable[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return ~c;
}

std::string ChecksumText(uint32_t uCrc) {
    char szText[16];
    std::snprintf(szText, sizeof szText, "0x%08x", uCrc);
    return szText;
}

bool FileChecksumText(const std::string& csPath, std::string* pcsText) {
    CTraceScope scope("FileChecksumText");
    platform::File file;
    if (!file.OpenForRead(csPath)) {
        scope.Result(false);
        return false;
    }
    std::vector<char> block(64 * 1024);
    uint32_t uCrc = 0;
    size_t read = 0;
    do {
        if (!file.Read(block.data(), block.size(), &read)) {
            scope.Result(false);
            return false;
        }
        uCrc = UpdateCrc32(uCrc, block.data(), read);
    } while (read > 0);
    *pcsText = ChecksumText(uCrc);
    scope.Result("%s", pcsText->c_str());
    return true;
}
