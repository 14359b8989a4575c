// CArchive: the byte stream that stored records are written to and read from
// (the KPL file format).
//
// An archive goes one way: a loading archive reads from a byte buffer or an open
// file, a storing archive appends to a byte buffer or writes to an open file, in
// both cases through a 4096-byte buffer. Integers are little-endian, with no
// padding; a text is a length prefix of 1, 3 or 7 bytes and its bytes.
//
// Nothing throws. The first error is kept; from then on every operation does
// nothing and fails, so a caller may run a whole sequence of operations and look
// at GetError() once at the end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class File;
}

class CArchive {
public:
    enum EMode { eLoad, eStore };

    // Format errors and the end of the data are the archive's own; eErrFile is an
    // input or output error of the file. The numbers are stable: trace lines show them.
    enum EError {
        eErrNone = 0,
        eErrEndOfFile = 1,  // the data ends inside a field
        eErrBadVersion = 2, // a record of a version this program cannot read
        eErrBadLength = 3,  // a length prefix that no writer produces
        eErrBadCount = 4,   // a record count below 0
        eErrTooLong = 5,    // a text too long for the format
        eErrFile = 6,       // reading or writing the file failed
    };

    static constexpr size_t kBufferSize = 4096;

    // Loads from memory; the bytes must outlive the archive.
    explicit CArchive(std::string_view data);
    // Stores by appending to *pBuffer.
    explicit CArchive(std::string* pBuffer);
    // Loads from or stores to an open file. A storing archive must be flushed
    // with Flush(): the destructor drops what is still buffered.
    CArchive(platform::File& file, EMode eMode);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_eMode == eLoad; }
    bool IsStoring() const { return m_eMode == eStore; }

    bool Good() const { return m_eError == eErrNone; }
    EError GetError() const { return m_eError; }
    // The number for trace lines: the platform error number for eErrFile,
    // otherwise the EError number.
    uint32_t GetCause() const { return m_eError == eErrFile ? m_uiFileError : uint32_t(m_eError); }
    // Byte offset at which the first error was met.
    uint64_t GetErrorPosition() const { return m_qwErrorPosition; }
    // What went wrong, in words, for a user.
    std::string DescribeError() const;
    // Records an error (the first one wins) and returns false. For eErrFile,
    // uiFileError is the platform error number.
    bool SetError(EError eError, uint32_t uiFileError = 0);

    // Loading: bytes read so far. Storing: bytes written so far.
    uint64_t GetPosition() const { return m_qwPosition; }
    // Loading: true when no byte is left (false after an error).
    bool AtEnd();

    bool Read(uint32_t& uiValue);
    bool Read(int32_t& iValue);
    // Reads a text of either form; 16-bit texts are converted to the 8-bit
    // character set.
    bool Read(std::string& csText);

    bool Write(uint32_t uiValue);
    bool Write(int32_t iValue);
    bool Write(const std::string& csText);

    // Storing to a file: writes what the buffer holds. True for other archives.
    bool Flush();

private:
    bool ReadBytes(void* pDest, size_t size);
    bool WriteBytes(const void* pData, size_t size);
    bool Fill();
    bool ReadLength(uint64_t& qwLength, bool& bWide);
    // Bytes left to read when known (loading from memory, or a file whose size
    // was read); a length prefix beyond them is the end of the data at once,
    // without a huge allocation.
    uint64_t Remaining() const;

    EMode m_eMode;
    platform::File* m_pFile = nullptr;
    std::string* m_pOut = nullptr;
    std::vector<char> m_buffer;
    const char* m_pData = nullptr; // loading: the bytes not yet consumed start here
    size_t m_dataLength = 0;       // loading: how many there are
    uint64_t m_qwFileSize = UINT64_MAX;
    uint64_t m_qwPosition = 0;
    EError m_eError = eErrNone;
    uint32_t m_uiFileError = 0;
    uint64_t m_qwErrorPosition = 0;
};
