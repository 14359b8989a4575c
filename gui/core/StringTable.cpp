#include "gui/core/StringTable.h"

#include "common/Trace.h"

#include <cstdlib>

// The text of resources/vexgui.strings (StringTableText.cpp, made by the build).
extern const char* const kVexStringsText;

namespace {
const std::string kEmpty;

bool Unescape(const std::string& csIn, std::string* pcsOut) {
    pcsOut->clear();
    for (size_t i = 0; i < csIn.size(); ++i) {
        if (csIn[i] != '\\') {
            *pcsOut += csIn[i];
            continue;
        }
        if (++i == csIn.size())
            return false;
        switch (csIn[i]) {
        case 'n':
            *pcsOut += '\n';
            break;
        case 't':
            *pcsOut += '\t';
            break;
        case '\\':
            *pcsOut += '\\';
            break;
        default:
            return false;
        }
    }
    return true;
}
} // namespace

bool CStringTable::Parse(const std::string& csText) {
    const CTraceName trace("CStringTable::Parse");
    size_t nStart = 0;
    int iLine = 0;
    while (nStart < csText.size()) {
        size_t nEnd = csText.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = csText.size();
        const std::string csLine = csText.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        ++iLine;
        if (csLine.empty() || csLine[0] == '#')
            continue;
        const size_t nTab = csLine.find('\t');
        char* pEnd = nullptr;
        const std::string csId = csLine.substr(0, nTab);
        const unsigned long ulId = std::strtoul(csId.c_str(), &pEnd, 10);
        std::string csValue;
        if (nTab == std::string::npos || csId.empty() || *pEnd != '\0' || ulId > 0xFFFF ||
            !Unescape(csLine.substr(nTab + 1), &csValue) || m_strings.count(uint32_t(ulId))) {
            trace.Err("Bad string table line %d", iLine);
            ++m_iBadLines;
            continue;
        }
        m_strings[uint32_t(ulId)] = csValue;
    }
    return m_iBadLines == 0;
}

const std::string& CStringTable::Get(uint32_t uiId) const {
    const CTraceName trace("CStringTable::Get");
    auto it = m_strings.find(uiId);
    if (it == m_strings.end()) {
        trace.Err("No string %u", uiId);
        return kEmpty;
    }
    return it->second;
}

const CStringTable& CStringTable::Instance() {
    static const CStringTable table = [] {
        CStringTable t;
        t.Parse(kVexStringsText);
        return t;
    }();
    return table;
}

std::string LoadVexString(uint32_t uiId) {
    return CStringTable::Instance().Get(uiId);
}

std::string FormatVexString(uint32_t uiId, std::initializer_list<std::string> texts) {
    const std::string& csFormat = CStringTable::Instance().Get(uiId);
    std::string csOut;
    auto itText = texts.begin();
    for (size_t i = 0; i < csFormat.size(); ++i) {
        if (csFormat[i] == '%' && i + 1 < csFormat.size() && csFormat[i + 1] == 's') {
            if (itText != texts.end())
                csOut += *itText++;
            ++i;
        } else {
            csOut += csFormat[i];
        }
    }
    return csOut;
}
