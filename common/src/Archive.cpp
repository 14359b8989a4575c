// The byte stream of stored records: integers, length-prefixed texts, errors.
#include "common/Archive.h"

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"

#include <cstring>

namespace {

// The length prefix: one byte below 255; 0xFF and 16 bits below 0xFFFE; 0xFF,
// 0xFFFF and 32 bits from there. 0xFF 0xFFFE announces a text of 16-bit characters.
constexpr uint8_t kLongLength = 0xFF;
constexpr uint16_t kWideMarker = 0xFFFE;
constexpr uint16_t kHugeLength = 0xFFFF;

} // namespace

CArchive::CArchive(std::string_view data)
    : m_eMode(eLoad), m_pData(data.data()), m_dataLength(data.size()), m_qwFileSize(data.size()) {}

CArchive::CArchive(std::string* pBuffer) : m_eMode(eStore), m_pOut(pBuffer) {}

CArchive::CArchive(platform::File& file, EMode eMode)
    : m_eMode(eMode), m_pFile(&file), m_buffer(kBufferSize) {
    if (eMode == eLoad && !file.GetSize(&m_qwFileSize))
        m_qwFileSize = UINT64_MAX;
    m_pData = m_buffer.data();
}

bool CArchive::SetError(EError eError, uint32_t uiFileError) {
    if (m_eError == eErrNone && eError != eErrNone) {
        m_eError = eError;
        m_uiFileError = uiFileError;
        m_qwErrorPosition = m_qwPosition;
    }
    return false;
}

std::string CArchive::DescribeError() const {
    switch (m_eError) {
    case eErrNone:
        return "no error";
    case eErrEndOfFile:
        return "the data ends inside a field";
    case eErrBadVersion:
        return "a record of an unknown version";
    case eErrBadLength:
        return "a text length prefix that no writer produces";
    case eErrBadCount:
        return "a record count below 0";
    case eErrTooLong:
        return "a text too long for the format";
    case eErrFile: {
        std::string text = platform::ErrorText(m_uiFileError);
        return "input/output error " + std::to_string(m_uiFileError) +
               (text.empty() ? "" : " (" + text + ")");
    }
    }
    return "unknown error";
}

uint64_t CArchive::Remaining() const {
    // A file that grew since its size was read is not held to that size.
    return m_qwFileSize >= m_qwPosition ? m_qwFileSize - m_qwPosition : UINT64_MAX;
}

bool CArchive::Fill() {
    if (!m_pFile)
        return false;
    size_t got = 0;
    if (!m_pFile->Read(m_buffer.data(), m_buffer.size(), &got))
        return SetError(eErrFile, platform::GetLastError());
    m_pData = m_buffer.data();
    m_dataLength = got;
    return got > 0;
}

bool CArchive::ReadBytes(void* pDest, size_t size) {
    if (!Good())
        return false;
    if (!IsLoading())
        return SetError(eErrFile, platform::ERROR_INVALID_FUNCTION);
    char* dest = static_cast<char*>(pDest);
    while (size > 0) {
        if (m_dataLength == 0 && !Fill())
            return Good() ? SetError(eErrEndOfFile) : false;
        size_t n = size < m_dataLength ? size : m_dataLength;
        std::memcpy(dest, m_pData, n);
        m_pData += n;
        m_dataLength -= n;
        m_qwPosition += n;
        dest += n;
        size -= n;
    }
    return true;
}

bool CArchive::AtEnd() {
    if (!Good() || !IsLoading())
        return false;
    return m_dataLength == 0 && !Fill() && Good();
}

bool CArchive::Read(uint32_t& uiValue) {
    uint8_t b[4];
    if (!ReadBytes(b, sizeof b))
        return false;
    uiValue = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

bool CArchive::Read(int32_t& iValue) {
    uint32_t value;
    if (!Read(value))
        return false;
    iValue = int32_t(value);
    return true;
}

bool CArchive::ReadLength(uint64_t& qwLength, bool& bWide) {
    bWide = false;
    uint8_t first;
    if (!ReadBytes(&first, 1))
        return false;
    if (first != kLongLength) {
        qwLength = first;
        return true;
    }
    uint8_t w[2];
    if (!ReadBytes(w, 2))
        return false;
    uint16_t word = uint16_t(w[0] | w[1] << 8);
    if (word == kWideMarker) {
        bWide = true;
        return true;
    }
    if (word != kHugeLength) {
        qwLength = word;
        return true;
    }
    uint32_t dword;
    if (!Read(dword))
        return false;
    qwLength = dword;
    return true;
}

bool CArchive::Read(std::string& csText) {
    uint64_t length = 0;
    bool bWide = false;
    if (!ReadLength(length, bWide))
        return false;
    if (bWide) {
        // The marker is followed by a prefix counting 16-bit characters; a second
        // marker there has no meaning.
        bool bWideAgain = false;
        if (!ReadLength(length, bWideAgain))
            return false;
        if (bWideAgain)
            return SetError(eErrBadLength);
        if (length * 2 > Remaining())
            return SetError(eErrEndOfFile);
        std::vector<char16_t> wide(length);
        std::vector<uint8_t> bytes(length * 2);
        if (!ReadBytes(bytes.data(), bytes.size()))
            return false;
        for (size_t i = 0; i < length; ++i)
            wide[i] = char16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
        csText = platform::Utf16ToAnsi(wide.data(), wide.size());
        return true;
    }
    if (length > Remaining())
        return SetError(eErrEndOfFile);
    std::string text(length, '\0');
    if (!ReadBytes(text.data(), text.size()))
        return false;
    csText = std::move(text);
    return true;
}

bool CArchive::WriteBytes(const void* pData, size_t size) {
    if (!Good())
        return false;
    if (!IsStoring())
        return SetError(eErrFile, platform::ERROR_INVALID_FUNCTION);
    const char* data = static_cast<const char*>(pData);
    if (m_pOut) {
        m_pOut->append(data, size);
        m_qwPosition += size;
        return true;
    }
    while (size > 0) {
        if (m_dataLength == m_buffer.size() && !Flush())
            return false;
        size_t room = m_buffer.size() - m_dataLength;
        size_t n = size < room ? size : room;
        std::memcpy(m_buffer.data() + m_dataLength, data, n);
        m_dataLength += n;
        m_qwPosition += n;
        data += n;
        size -= n;
    }
    return true;
}

bool CArchive::Write(uint32_t uiValue) {
    uint8_t b[4] = {uint8_t(uiValue), uint8_t(uiValue >> 8), uint8_t(uiValue >> 16),
                    uint8_t(uiValue >> 24)};
    return WriteBytes(b, sizeof b);
}

bool CArchive::Write(int32_t iValue) {
    return Write(uint32_t(iValue));
}

bool CArchive::Write(const std::string& csText) {
    uint64_t length = csText.size();
    if (length > UINT32_MAX)
        return SetError(eErrTooLong);
    uint8_t prefix[7];
    size_t prefixLength;
    if (length < kLongLength) {
        prefix[0] = uint8_t(length);
        prefixLength = 1;
    } else if (length < kWideMarker) {
        prefix[0] = kLongLength;
        prefix[1] = uint8_t(length);
        prefix[2] = uint8_t(length >> 8);
        prefixLength = 3;
    } else {
        prefix[0] = kLongLength;
        prefix[1] = prefix[2] = 0xFF;
        for (int i = 0; i < 4; ++i)
            prefix[3 + i] = uint8_t(length >> (8 * i));
        prefixLength = 7;
    }
    return WriteBytes(prefix, prefixLength) && WriteBytes(csText.data(), csText.size());
}

bool CArchive::Flush() {
    if (!Good())
        return false;
    if (!IsStoring() || !m_pFile || m_dataLength == 0)
        return true;
    if (!m_pFile->Write(m_buffer.data(), m_dataLength))
        return SetError(eErrFile, platform::GetLastError());
    m_dataLength = 0;
    return true;
}
