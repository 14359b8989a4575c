// The printer record: value semantics, its two text forms and its stored form.
#include "common/Printer.h"

#include "common/Archive.h"
#include "common/Trace.h"

#include <cstdarg>
#include <cstdio>

namespace {

std::string Format(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, pszFormat, args);
    va_end(args);
    return text;
}

} // namespace

CPrinter::CPrinter()
    : m_VexState(eVexUnknown), m_uiFlags(0), m_uiPrtConfig1Var(PRT_CONFIG1_UNKNOWN) {
    CTraceScope scope("CPrinter::CPrinter", TRACE_DET);
}

CPrinter::CPrinter(const CPrinter& other)
    : m_csUUID(other.m_csUUID), m_csIpAddr(other.m_csIpAddr), m_csHostName(other.m_csHostName),
      m_csPrinterModel(other.m_csPrinterModel), m_csMicrocodeLevel(other.m_csMicrocodeLevel),
      m_csIconName(other.m_csIconName), m_VexState(other.m_VexState), m_uiFlags(other.m_uiFlags),
      m_uiPrtConfig1Var(other.m_uiPrtConfig1Var) {
    CTraceScope scope("CPrinter::CPrinter", TRACE_DET);
}

CPrinter& CPrinter::operator=(const CPrinter& other) {
    if (this != &other) {
        m_csUUID = other.m_csUUID;
        m_csIpAddr = other.m_csIpAddr;
        m_csHostName = other.m_csHostName;
        m_csPrinterModel = other.m_csPrinterModel;
        m_csMicrocodeLevel = other.m_csMicrocodeLevel;
        m_csIconName = other.m_csIconName;
        m_VexState = other.m_VexState;
        m_uiFlags = other.m_uiFlags;
        m_uiPrtConfig1Var = other.m_uiPrtConfig1Var;
    }
    return *this;
}

CPrinter::~CPrinter() {
    CTraceScope scope("CPrinter::~CPrinter", TRACE_DET);
}

bool CPrinter::operator==(const CPrinter& other) const {
    return m_csUUID == other.m_csUUID && m_csIpAddr == other.m_csIpAddr &&
           m_csHostName == other.m_csHostName && m_csPrinterModel == other.m_csPrinterModel &&
           m_csMicrocodeLevel == other.m_csMicrocodeLevel && m_csIconName == other.m_csIconName &&
           m_VexState == other.m_VexState && m_uiFlags == other.m_uiFlags &&
           m_uiPrtConfig1Var == other.m_uiPrtConfig1Var;
}

const char* CPrinter::StateWord(int32_t iState) {
    switch (iState) {
    case eVexUnknown:
        return "unknown";
    case eVexWaiting:
        return "waiting";
    case eVexAdded:
        return "added";
    case eVexIgnore:
        return "ignore";
    case eVexAddError:
        return "add error";
    case eVexUnsupported:
        return "unsupported";
    default:
        return "invalid";
    }
}

void CPrinter::AddIconName(const std::string& csName) {
    if (m_csIconName.empty()) {
        m_csIconName = csName;
        return;
    }
    for (size_t nStart = 0;;) {
        const size_t nEnd = m_csIconName.find(", ", nStart);
        if (m_csIconName.compare(nStart, nEnd == std::string::npos ? nEnd : nEnd - nStart,
                                 csName) == 0)
            return;
        if (nEnd == std::string::npos)
            break;
        nStart = nEnd + 2;
    }
    m_csIconName += ", " + csName;
}

std::string CPrinter::Describe(int iStyle) const {
    if (iStyle == 1)
        return Format("%s;ip=%s;hn=%s;mod=%s;mcode=%s;ic=%s;Vex=%s;f=%08x;cfg1=%08x",
                      m_csUUID.c_str(), m_csIpAddr.c_str(), m_csHostName.c_str(),
                      m_csPrinterModel.c_str(), m_csMicrocodeLevel.c_str(), m_csIconName.c_str(),
                      StateWord(m_VexState), m_uiFlags, m_uiPrtConfig1Var);
    return Format("\n       m_csUUID = '%s'"
                  "\n       m_csIpAddr = '%s'"
                  "\n       m_csHostName = '%s'"
                  "\n       m_csPrinterModel = '%s'"
                  "\n       m_csMicrocodeLevel = '%s'"
                  "\n       m_csIconName = '%s'"
                  "\n       m_VexState = %s"
                  "\n       m_uiFlags = 0x%08x"
                  "\n       m_uiPrtConfig1Var = 0x%08x",
                  m_csUUID.c_str(), m_csIpAddr.c_str(), m_csHostName.c_str(),
                  m_csPrinterModel.c_str(), m_csMicrocodeLevel.c_str(), m_csIconName.c_str(),
                  StateWord(m_VexState), m_uiFlags, m_uiPrtConfig1Var);
}

bool CPrinter::Serialize(CArchive& ar) {
    const CTraceName trace("CPrinter::Serialize");
    // The UUID belongs in the entry and exit lines, so they are written here
    // rather than by a CTraceScope.
    TraceDet("Entry (CPrinter::Serialize)UUID='%s'", m_csUUID.c_str());
    bool ok;
    if (ar.IsStoring()) {
        ok = ar.Write(kSchemaVersion) && ar.Write(m_csUUID) && ar.Write(m_csIpAddr) &&
             ar.Write(m_csHostName) && ar.Write(m_csPrinterModel) && ar.Write(m_csMicrocodeLevel) &&
             ar.Write(m_csIconName) && ar.Write(m_VexState) && ar.Write(m_uiFlags) &&
             ar.Write(m_uiPrtConfig1Var);
    } else {
        uint32_t uiVersion = 0;
        ok = ar.Read(uiVersion);
        if (ok && uiVersion != kSchemaVersion) {
            trace.Err("Bad version found: %d", int(uiVersion));
            ok = ar.SetError(CArchive::eErrBadVersion);
        } else if (ok) {
            // Read into scratch fields so that a stream that ends half-way
            // leaves the record as it was.
            std::string texts[6];
            int32_t iState = 0;
            uint32_t uiFlags = 0, uiConfig = 0;
            for (auto& text : texts)
                ok = ok && ar.Read(text);
            ok = ok && ar.Read(iState) && ar.Read(uiFlags) && ar.Read(uiConfig);
            if (ok) {
                m_csUUID.swap(texts[0]);
                m_csIpAddr.swap(texts[1]);
                m_csHostName.swap(texts[2]);
                m_csPrinterModel.swap(texts[3]);
                m_csMicrocodeLevel.swap(texts[4]);
                m_csIconName.swap(texts[5]);
                m_VexState = iState;
                m_uiFlags = uiFlags;
                m_uiPrtConfig1Var = uiConfig;
            }
        }
    }
    TraceDet("Exit  (CPrinter::Serialize)UUID='%s'", m_csUUID.c_str());
    return ok;
}
