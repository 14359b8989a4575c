// Version resources on Windows: the program file's own RT_VERSION resource,
// read by the version library and stamped through the resource updater.
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"

#include "windows_api.h"

#include <vector>

namespace platform {

namespace {

static_assert(sizeof(VS_FIXEDFILEINFO) == sizeof(::VS_FIXEDFILEINFO));

// A file the loader cannot read as a module, or a module without the
// resource, simply has none.
uint32_t VersionError(DWORD dwError) {
    switch (dwError) {
    case ERROR_RESOURCE_DATA_NOT_FOUND:
    case ERROR_RESOURCE_NAME_NOT_FOUND:
    case ERROR_RESOURCE_LANG_NOT_FOUND:
    case ERROR_BAD_FORMAT:
    case ERROR_BAD_EXE_FORMAT:
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    default:
        return dwError;
    }
}

// The language the file's version resource is kept under, so that an update
// replaces it rather than adding a second one.
BOOL CALLBACK TakeLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD wLanguage, LONG_PTR lParam) {
    *reinterpret_cast<WORD*>(lParam) = wLanguage;
    return FALSE;
}

bool VersionLanguage(const std::string& csPath, WORD* pwLanguage) {
    HMODULE hModule = ::LoadLibraryExA(csPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!hModule)
        return Fail(VersionError(::GetLastError()));
    *pwLanguage = 0xFFFF;
    ::EnumResourceLanguagesW(hModule, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), TakeLanguage,
                             reinterpret_cast<LONG_PTR>(pwLanguage));
    ::FreeLibrary(hModule);
    return *pwLanguage != 0xFFFF || Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
}

} // namespace

uint32_t GetFileVersionInfoSize(const std::string& csPath) {
    DWORD dwHandle = 0;
    const DWORD dwSize = ::GetFileVersionInfoSizeA(csPath.c_str(), &dwHandle);
    if (dwSize == 0)
        Fail(VersionError(::GetLastError()));
    return dwSize;
}

bool GetFileVersionInfo(const std::string& csPath, uint32_t dwLen, void* pData) {
    if (!pData)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    return ::GetFileVersionInfoA(csPath.c_str(), 0, dwLen, pData) ||
           Fail(VersionError(::GetLastError()));
}

bool VerQueryValue(const void* pBlock, const std::string& csSubBlock, void** ppBuffer,
                   uint32_t* puLen) {
    if (!pBlock || csSubBlock != "\\")
        return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
    UINT uLen = 0;
    if (!::VerQueryValueA(pBlock, "\\", ppBuffer, &uLen) || uLen < sizeof(VS_FIXEDFILEINFO))
        return Fail(ERROR_INVALID_DATA);
    if (static_cast<const VS_FIXEDFILEINFO*>(*ppBuffer)->dwSignature != VS_FFI_SIGNATURE)
        return Fail(ERROR_INVALID_DATA);
    *puLen = uLen;
    return true;
}

bool UpdateFileVersion(const std::string& csPath, uint32_t dwVersionMS, uint32_t dwVersionLS) {
    // The wide form gives the resource as it is stored: its first WORD is its
    // length, and the rest of the buffer is the reader's own scratch space.
    std::u16string u16Path;
    if (!AnsiToUtf16(csPath, &u16Path))
        return Fail(ERROR_INVALID_NAME);
    const std::wstring wsPath(u16Path.begin(), u16Path.end());
    DWORD dwHandle = 0;
    const DWORD dwSize = ::GetFileVersionInfoSizeW(wsPath.c_str(), &dwHandle);
    if (dwSize == 0)
        return Fail(VersionError(::GetLastError()));
    std::vector<uint8_t> block(dwSize);
    if (!::GetFileVersionInfoW(wsPath.c_str(), 0, dwSize, block.data()))
        return Fail(VersionError(::GetLastError()));
    void* pFixed = nullptr;
    UINT uLen = 0;
    const WORD wLength = *reinterpret_cast<const WORD*>(block.data());
    if (!::VerQueryValueW(block.data(), L"\\", &pFixed, &uLen) || uLen < sizeof(VS_FIXEDFILEINFO) ||
        wLength > block.size())
        return Fail(ERROR_INVALID_DATA);
    auto* pInfo = static_cast<VS_FIXEDFILEINFO*>(pFixed);
    pInfo->dwFileVersionMS = pInfo->dwProductVersionMS = dwVersionMS;
    pInfo->dwFileVersionLS = pInfo->dwProductVersionLS = dwVersionLS;

    WORD wLanguage = 0;
    if (!VersionLanguage(csPath, &wLanguage))
        return false;
    HANDLE hUpdate = ::BeginUpdateResourceA(csPath.c_str(), FALSE);
    if (!hUpdate)
        return Fail(::GetLastError());
    if (!::UpdateResourceA(hUpdate, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), wLanguage,
                           block.data(), wLength)) {
        const DWORD dwError = ::GetLastError();
        ::EndUpdateResourceA(hUpdate, TRUE);
        return Fail(dwError);
    }
    return ::EndUpdateResourceA(hUpdate, FALSE) || Fail(::GetLastError());
}

} // namespace platform
