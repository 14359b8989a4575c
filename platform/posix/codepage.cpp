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

bool AnsiToUtf16(const std::string& csText, std::u16string* pcsText) {
    pcsText->clear();
    for (size_t i = 0; i < csText.size();) {
        auto c = static_cast<unsigned char>(csText[i]);
        size_t len = c < 0x80           ? 1
                     : (c >> 5) == 0x6  ? 2
                     : (c >> 4) == 0xE  ? 3
                     : (c >> 3) == 0x1E ? 4
                                        : 0;
        if (len == 0 || i + len > csText.size())
            return false;
        char32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (size_t k = 1; k < len; ++k) {
            auto next = static_cast<unsigned char>(csText[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        // Over-long forms, surrogates and values past Unicode are not UTF-8.
        static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        if (cp >= 0x10000) {
            pcsText->push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            pcsText->push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            pcsText->push_back(char16_t(cp));
        }
        i += len;
    }
    return true;
}

} // namespace platform
