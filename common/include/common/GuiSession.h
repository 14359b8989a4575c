// The GUI's session record: who runs the GUI and the variables of the desktop
// session it runs in. The GUI writes it when it starts; the service reads it
// when it must start "vexgui /Prompt" for a new printer, so that the GUI comes
// up on that user's desktop, as that user, and never as the service's own
// (administrative) user.
//
// The record is "<root>/run/gui-session", replaced atomically by each GUI start.
// Its owner must be the user it names: in the shared run folder anyone may
// create a file, but nobody can make one that is owned by someone else.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct SGuiSession {
    uint32_t uiUserId = 0;
    uint32_t uiGroupId = 0;
    // The desktop session's variables that were set: DISPLAY, WAYLAND_DISPLAY,
    // XAUTHORITY, XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS, HOME, USER, LOGNAME, PATH.
    std::vector<std::pair<std::string, std::string>> vEnv;
};

// GUI, at start: records the calling process's user, group and session variables.
bool RecordGuiSession();
// Service: reads the record. False, with a trace line, when there is none or it
// is malformed, too large, not a plain file, or not owned by the user it names;
// a record that does not exist is traced only when bMissingIsWarning.
bool LoadGuiSession(SGuiSession* pSession, bool bMissingIsWarning = true);

// The record's text form, and its reader (for the file and for tests).
std::string FormatGuiSession(const SGuiSession& session);
bool ParseGuiSession(const std::string& csText, SGuiSession* pSession);
// The names of the variables a record carries, in the order they are written.
const std::vector<std::string>& GuiSessionVariables();
