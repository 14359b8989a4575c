// Switches the service's trace on in a private system root and looks for
// lines in the file it writes.
#pragma once

#include "TestSupport.h"
#include "common/Trace.h"

#include <string>

class CTraceLog {
public:
    explicit CTraceLog(uint32_t level = TRACE_ERR | TRACE_WRN | TRACE_DET) {
        m_root.EnableTrace(1, level);
        TraceInit(1, ".bak");
    }

    // True when a line of the level tag carries exactly csMessage behind the
    // blanks of its indentation.
    bool Has(const std::string& csTag, const std::string& csMessage) const {
        for (const std::string& csLine :
             vextest::Lines(vextest::ReadFile(m_root.WorkDir() + "vexsrv.log"))) {
            const size_t nTag = csLine.find(" " + csTag + " ");
            if (nTag == std::string::npos)
                continue;
            const std::string csRest = csLine.substr(nTag + csTag.size() + 2);
            if (csRest.size() < csMessage.size() ||
                csRest.compare(csRest.size() - csMessage.size(), std::string::npos, csMessage) != 0)
                continue;
            if (csRest.find_first_not_of(' ') >= csRest.size() - csMessage.size())
                return true;
        }
        return false;
    }

private:
    vextest::TempRoot m_root;
};
