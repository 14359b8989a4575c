// One SSDP datagram: a NOTIFY advertisement or the answer to an M-SEARCH.
//
// ParseRequest cuts a scratch copy of the datagram up in place, fills the
// header table, checks that the headers its kind needs are present and keeps
// the body. The getters then take out what the service works with. Nothing
// of an earlier message survives a new parse.
#pragma once

#include <cstdint>
#include <string>

// Kind of message. Values are stored and traced as numbers.
enum class ESsdpMethod : int32_t {
    NOTIFY = 0,
    HTTP = 1,
    ALIVE = 2,
    BYEBYE = 3,
    INVALID = 4,
};

// The search target of M-SEARCH and the service type the advert filter keeps.
inline constexpr const char SSDP_PRINT_SERVICE_URN[] = "urn:zantor-schemas-ambrel:service:Print:1";

struct SSsdpHeader {
    bool bValid = false; // the header line was present (an empty value counts)
    std::string csValue; // value without surrounding blanks and tabs
};

class CSsdp {
public:
    // Indexes of asHeaders, in the order of the header name table.
    enum EHeader : int {
        HOST = 0,
        CACHE_CONTROL,
        LOCATION,
        NT,
        NTS,
        SERVER,
        USN,
        SEQNUM,
        MAN,
        MX,
        ST,
        DATE,
        EXT,
        CONTENT_LENGTH,
        HEADER_COUNT
    };
    static constexpr int METHOD_COUNT = 5;

    CSsdp();

    void CleanUp();

    // pszRequest: NUL-terminated, writable scratch copy of the datagram; it is
    // overwritten with NULs at the separators.
    bool ParseRequest(char* pszRequest);

    std::string GetUuid();
    std::string GetPrinterModel();
    std::string GetPrinterMicrocodeLevel();
    // Returns the description path (with its leading "/"); *piPort receives
    // the port named in the Location, 80 when none.
    std::string GetDescriptionUrl(int32_t* piPort);
    uint32_t GetSequenceNumber();

    static std::string BuildSearchRequest();

    ESsdpMethod m_eMethod;
    SSsdpHeader asHeaders[HEADER_COUNT];
    std::string m_csContent;
    std::string m_acsMethods[METHOD_COUNT];
    std::string m_acsHeaderNames[HEADER_COUNT];

private:
    char* ParseRequestLine(char* pszRequest);
    char* ParseHeaders(char* pszHeaders);
    bool VerifyHeaders();
    void ParseContent(const char* pszBody);
    bool AllValid(const EHeader* aeRequired, int iCount) const;
    // Steps 1 to 3 shared by model and microcode level: the third word of the
    // Server value from its start, or nullptr.
    const char* FindServerModelWord() const;
};
