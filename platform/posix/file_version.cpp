// Version resources of program files on POSIX: the VS_FIXEDFILEINFO block
// that a program defines as a constant, found by its signature.
#include "internal/unique_fd.h"
#include "platform/error.h"
#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr uint32_t kBlockSize = sizeof(VS_FIXEDFILEINFO);
static_assert(kBlockSize == 52);

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// Reads the whole file; false with the last error set.
bool ReadWhole(const std::string& csPath, std::vector<uint8_t>* pData) {
    const posix::CUniqueFd fd(::open(csPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid())
        return FailErrno();
    pData->clear();
    uint8_t buffer[65536];
    for (ssize_t n; (n = ::read(fd.Get(), buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FailErrno();
        pData->insert(pData->end(), buffer, buffer + n);
    }
    return true;
}

// The offset of the first version block, or SIZE_MAX.
size_t FindBlock(const std::vector<uint8_t>& data) {
    for (size_t at = 0; at + kBlockSize <= data.size(); at += 4) {
        if (Le32(&data[at]) == VS_FFI_SIGNATURE && Le32(&data[at + 4]) == VS_FFI_STRUCVERSION)
            return at;
    }
    return SIZE_MAX;
}

} // namespace

uint32_t GetFileVersionInfoSize(const std::string& csPath) {
    std::vector<uint8_t> data;
    if (!ReadWhole(csPath, &data))
        return 0;
    if (FindBlock(data) == SIZE_MAX) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    return kBlockSize;
}

bool GetFileVersionInfo(const std::string& csPath, uint32_t dwLen, void* pData) {
    std::vector<uint8_t> data;
    if (!ReadWhole(csPath, &data))
        return false;
    size_t at = FindBlock(data);
    if (at == SIZE_MAX)
        return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
    if (!pData || dwLen < kBlockSize)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    auto* p = static_cast<VS_FIXEDFILEINFO*>(pData);
    uint32_t* fields = &p->dwSignature;
    for (uint32_t i = 0; i < kBlockSize / 4; ++i)
        fields[i] = Le32(&data[at + i * 4]);
    return true;
}

bool VerQueryValue(const void* pBlock, const std::string& csSubBlock, void** ppBuffer,
                   uint32_t* puLen) {
    if (!pBlock || csSubBlock != "\\")
        return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
    auto* p = static_cast<const VS_FIXEDFILEINFO*>(pBlock);
    if (p->dwSignature != VS_FFI_SIGNATURE)
        return Fail(ERROR_INVALID_DATA);
    *ppBuffer = const_cast<VS_FIXEDFILEINFO*>(p);
    *puLen = kBlockSize;
    return true;
}

bool UpdateFileVersion(const std::string& csPath, uint32_t dwVersionMS, uint32_t dwVersionLS) {
    std::vector<uint8_t> data;
    if (!ReadWhole(csPath, &data))
        return false;
    size_t at = FindBlock(data);
    if (at == SIZE_MAX)
        return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
    uint8_t fields[16];
    PutLe32(fields, dwVersionMS);
    PutLe32(fields + 4, dwVersionLS);
    PutLe32(fields + 8, dwVersionMS);
    PutLe32(fields + 12, dwVersionLS);
    const posix::CUniqueFd fd(::open(csPath.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.Valid())
        return FailErrno();
    return ::pwrite(fd.Get(), fields, sizeof fields, off_t(at + 8)) == ssize_t(sizeof fields) ||
           FailErrno();
}

} // namespace platform
