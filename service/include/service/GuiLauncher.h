// Starts "vexgui /Prompt" for a new printer when no GUI listens.
//
// The service runs as the machine's administrator; the GUI must never run as
// that user. It is started only in the desktop session of the user who ran the
// GUI last (the GUI's session record), as that user, with that session's
// variables. With no record, or a record of the administrator, nothing starts
// and the printer waits for the user in the list. On Windows the GUI is started
// in the active console session, as the user logged on there.
#pragma once

#include <string>

// The command line that starts the prompting GUI from the working directory.
std::string PromptingGuiCommandLine(const std::string& csWorkingDir);
// Starts it; true when the program started.
bool StartPromptingGui();
