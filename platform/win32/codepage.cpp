// The system's ANSI code page on Windows, through the system's own tables.
#include "platform/codepage.h"

#include "windows_api.h"

namespace platform {

namespace {

// Converts one run of 8-bit text; false when it holds a byte sequence the
// code page does not define.
bool Widen(const char* pszText, size_t length, std::u16string* pcsOut) {
    if (length == 0)
        return true;
    int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pszText, int(length), nullptr, 0);
    if (n <= 0)
        return false;
    std::wstring wide(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pszText, int(length), wide.data(), n);
    pcsOut->append(wide.begin(), wide.end());
    return true;
}

} // namespace

std::string Utf16ToAnsi(const char16_t* pszText, size_t length) {
    if (length == 0)
        return "";
    // The system's default character stands for what the code page lacks,
    // lone surrogate halves included.
    auto pszWide = reinterpret_cast<const wchar_t*>(pszText);
    int n = ::WideCharToMultiByte(CP_ACP, 0, pszWide, int(length), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return "";
    std::string out(size_t(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, pszWide, int(length), out.data(), n, nullptr, nullptr);
    return out;
}

bool AnsiToUtf16(const std::string& csText, std::u16string* pcsText) {
    pcsText->clear();
    if (Widen(csText.data(), csText.size(), pcsText))
        return true;
    // A fault: convert character by character up to it.
    for (size_t i = 0; i < csText.size();) {
        size_t len = ::IsDBCSLeadByteEx(CP_ACP, BYTE(csText[i])) ? 2 : 1;
        if (i + len > csText.size() || !Widen(csText.data() + i, len, pcsText))
            return false;
        i += len;
    }
    return false;
}

} // namespace platform
