// The download site's checksum file and the check of a downloaded package.
//
// A checksum file is a text of at most 1024 bytes: an unused first field, a
// blank, the package version, a blank, and the package's checksum text
// "0x%08x", which ends at a carriage return (or a line feed, or the end). A
// file that says "ERROR" anywhere means the site has no package to offer.
//
// The checksum is the standard CRC-32 (IEEE 802.3, reflected polynomial
// 0xEDB88320, initial value and final XOR 0xFFFFFFFF) of the whole file. It
// finds damage in transit; it cannot tell a tampered package from a good one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kDriverSumMaxBytes = 1024;

struct SDriverSum {
    std::string csVersion;
    std::string csChecksum;
};

// False for a text with "ERROR", longer than kDriverSumMaxBytes, or without the
// three fields.
bool ParseDriverSum(const std::string& csText, SDriverSum* pSum);

// Continues a CRC-32 over more bytes: start with uCrc 0.
uint32_t UpdateCrc32(uint32_t uCrc, const void* pData, size_t size);
// "0x%08x" of a CRC-32.
std::string ChecksumText(uint32_t uCrc);
// The checksum text of a whole file; false (last error set) when it cannot be read.
bool FileChecksumText(const std::string& csPath, std::string* pcsText);
