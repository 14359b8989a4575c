// The 8-bit character set of the programs (the system's ANSI code page) and its
// conversion from 16-bit text. On POSIX the code page is UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Converts little-endian UTF-16 text to the 8-bit character set. Characters the
// code page lacks, and halves of surrogate pairs that stand alone, become the
// code page's replacement character; the conversion never fails.
std::string Utf16ToAnsi(const char16_t* pszText, size_t length);

// Converts 8-bit text to UTF-16. False when the text is not valid in the code
// page (on POSIX: not UTF-8); *pcsText then holds what was converted before
// the fault.
bool AnsiToUtf16(const std::string& csText, std::u16string* pcsText);

} // namespace platform
