// Starting the prompting GUI on POSIX: in the desktop session the GUI
// recorded, as the user who runs it.
#include "service/GuiLauncher.h"

#include "common/GuiSession.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/error.h"
#include "platform/process.h"

#include <unistd.h>

bool StartPromptingGui() {
    CTraceScope scope("StartPromptingGui");
    SGuiSession session;
    if (!LoadGuiSession(&session)) {
        scope.Wrn("No desktop session of a GUI user known; the printer waits "
                  "in the list");
        scope.Result(false);
        return false;
    }
    if (session.uiUserId == 0) {
        scope.Err("The GUI is never started as the administrator; the printer "
                  "waits in the list");
        scope.Result(false);
        return false;
    }
    CVexData vexData;
    platform::ProcessOptions options;
    options.vEnvironment = session.vEnv;
    if (session.uiUserId != uint32_t(::geteuid())) {
        options.bRunAsUser = true;
        options.uiUserId = session.uiUserId;
        options.uiGroupId = session.uiGroupId;
    }
    platform::Process process;
    const std::string csCommandLine = PromptingGuiCommandLine(vexData.GetWorkingDir());
    if (!process.Start(csCommandLine, options)) {
        scope.Err("Starting '%s' as user %u failed. Error: (%d)", csCommandLine.c_str(),
                  session.uiUserId, int(platform::GetLastError()));
        scope.Result(false);
        return false;
    }
    // The service does not wait for the GUI: the handle goes, the GUI runs on.
    scope.Result(true);
    return true;
}
