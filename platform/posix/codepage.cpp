// UTF-16 to the POSIX code page, UTF-8.
#include "platform/codepage.h"

namespace platform {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

} // namespace

std::string Utf16ToAnsi(const char16_t* pszText, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char32_t c = pszText[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < length && pszText[i + 1] >= 0xDC00 && pszText[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(pszText[i + 1]) - 0xDC00);
                ++i;
            } else {
                c = kReplacement;
            }
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

} // namespace platform
