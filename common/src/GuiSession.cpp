// The GUI's session record: "uid=N", "gid=N", then one "NAME=value" line per
// session variable. Where it is kept is the system's (src/posix/, src/win32/).
#include "common/GuiSession.h"

#include "common/Trace.h"

#include <algorithm>
#include <string_view>

namespace {

bool ParseNumber(std::string_view csText, uint32_t* puiValue) {
    if (csText.empty() || csText.size() > 10)
        return false;
    uint64_t value = 0;
    for (char c : csText) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > UINT32_MAX)
        return false;
    *puiValue = uint32_t(value);
    return true;
}

bool IsRecordedVariable(std::string_view csName) {
    const auto& names = GuiSessionVariables();
    return std::find(names.begin(), names.end(), csName) != names.end();
}

} // namespace

const std::vector<std::string>& GuiSessionVariables() {
    static const std::vector<std::string> names = {"DISPLAY",
                                                   "WAYLAND_DISPLAY",
                                                   "XAUTHORITY",
                                                   "XDG_RUNTIME_DIR",
                                                   "DBUS_SESSION_BUS_ADDRESS",
                                                   "HOME",
                                                   "USER",
                                                   "LOGNAME",
                                                   "PATH"};
    return names;
}

std::string FormatGuiSession(const SGuiSession& session) {
    std::string csText = "uid=" + std::to_string(session.uiUserId) + "\n";
    csText += "gid=" + std::to_string(session.uiGroupId) + "\n";
    for (const auto& [csName, csValue] : session.vEnv)
        csText += csName + "=" + csValue + "\n";
    return csText;
}

bool ParseGuiSession(const std::string& csText, SGuiSession* pSession) {
    CTraceScope scope("ParseGuiSession");
    SGuiSession session;
    bool bUser = false, bGroup = false;
    size_t nPos = 0;
    int iLine = 0;
    while (nPos < csText.size()) {
        size_t nEnd = csText.find('\n', nPos);
        if (nEnd == std::string::npos) {
            scope.Err("Record does not end with a line end");
            scope.Result(false);
            return false;
        }
        std::string_view csLine(csText.data() + nPos, nEnd - nPos);
        nPos = nEnd + 1;
        ++iLine;
        size_t nEqual = csLine.find('=');
        if (nEqual == std::string_view::npos || csLine.find('\0') != std::string_view::npos) {
            scope.Err("Malformed line %d", iLine);
            scope.Result(false);
            return false;
        }
        std::string_view csName = csLine.substr(0, nEqual);
        std::string_view csValue = csLine.substr(nEqual + 1);
        bool bOk = true;
        if (iLine == 1)
            bOk = csName == "uid" && ParseNumber(csValue, &session.uiUserId) && (bUser = true);
        else if (iLine == 2)
            bOk = csName == "gid" && ParseNumber(csValue, &session.uiGroupId) && (bGroup = true);
        else if (IsRecordedVariable(csName))
            session.vEnv.emplace_back(csName, csValue);
        else
            bOk = false;
        if (!bOk) {
            scope.Err("Malformed line %d", iLine);
            scope.Result(false);
            return false;
        }
    }
    if (!bUser || !bGroup) {
        scope.Err("Record lacks the user or the group");
        scope.Result(false);
        return false;
    }
    *pSession = std::move(session);
    scope.Result(true);
    return true;
}
