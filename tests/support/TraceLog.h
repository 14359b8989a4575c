// Switches the service's trace on in a private system root (its own, or one
// the test has made) and looks for lines in the file it writes.
#pragma once

#include "TestSupport.h"
#include "common/Trace.h"

#include <memory>
#include <string>

class CTraceLog {
public:
    explicit CTraceLog(uint32_t level = TRACE_ERR | TRACE_WRN | TRACE_DET)
        : m_pOwnRoot(std::make_unique<vextest::TempRoot>()), m_root(*m_pOwnRoot) {
        Start(level);
    }
    // On a root that outlives the object.
    CTraceLog(const vextest::TempRoot& root, uint32_t level) : m_root(root) { Start(level); }

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
    // The number of lines that hold csPart anywhere.
    size_t CountLinesWith(const std::string& csPart) const {
        size_t n = 0;
        for (const std::string& csLine :
             vextest::Lines(vextest::ReadFile(m_root.WorkDir() + "vexsrv.log")))
            n += csLine.find(csPart) != std::string::npos;
        return n;
    }

private:
    void Start(uint32_t level) {
        m_root.EnableTrace(1, level);
        TraceInit(1, ".bak");
    }

    std::unique_ptr<vextest::TempRoot> m_pOwnRoot;
    const vextest::TempRoot& m_root;
};
