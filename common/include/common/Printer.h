// CPrinter: one known printer, the record that both programs share and that
// the known printer list stores in its file.
//
// A value: copies are independent, two records are equal when all nine fields
// are (texts byte by byte, letter case significant).
#pragma once

#include <cstdint>
#include <string>

class CArchive;

// Printer states (m_VexState). Any other value is shown as "invalid".
enum eVexState : int32_t {
    eVexUnknown = 0,
    eVexWaiting = 1,     // awaiting user action
    eVexAdded = 2,       // printer created
    eVexIgnore = 3,      // ignored by user
    eVexAddError = 4,    // error creating printer
    eVexUnsupported = 5, // unsupported printer model
};

// Flag bits of CPrinter::m_uiFlags; every other bit is kept as it is.
constexpr uint32_t PRT_FLAG_HOSTNAME_USED = 0x02; // the last queue used the host name
constexpr uint32_t PRT_FLAG_ADDING = 0x08;        // a print queue is being created now

// m_uiPrtConfig1Var until the printer's configuration word has been read.
constexpr uint32_t PRT_CONFIG1_UNKNOWN = 0xEA000000;
// Both bits set: the printer accepts print jobs from this workstation.
constexpr uint32_t PRT_CONFIG1_CAN_PRINT_MASK = 0xC0000000;

class CPrinter {
public:
    // The version written before every stored record; the only one read.
    static constexpr uint32_t kSchemaVersion = 0;

    CPrinter();
    CPrinter(const CPrinter& other);
    CPrinter& operator=(const CPrinter& other);
    virtual ~CPrinter();

    bool operator==(const CPrinter& other) const;
    bool operator!=(const CPrinter& other) const { return !(*this == other); }

    // Style 1: the one-line form "UUID;ip=...;...;cfg1=%08x"; any other style:
    // a line feed and one indented line per field.
    std::string Describe(int iStyle) const;

    // Writes the record to a storing archive or reads it from a loading one.
    // A record of another version than 0 is not read past its version: the
    // archive is left with eErrBadVersion and this record unchanged. False when
    // the archive has failed.
    virtual bool Serialize(CArchive& ar);

    // Adds a created queue's name to m_csIconName (", "-joined) unless the list
    // holds it as an entry already.
    void AddIconName(const std::string& csName);

    // The word for a state in trace lines ("waiting", ...; "invalid" when unknown).
    static const char* StateWord(int32_t iState);

    std::string m_csUUID;
    std::string m_csIpAddr;
    std::string m_csHostName;
    std::string m_csPrinterModel;
    std::string m_csMicrocodeLevel;
    std::string m_csIconName; // the queue names, joined by ", "
    int32_t m_VexState;
    uint32_t m_uiFlags;
    uint32_t m_uiPrtConfig1Var;
};
