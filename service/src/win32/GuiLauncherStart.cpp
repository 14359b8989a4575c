// Starting the prompting GUI on Windows: in the machine's active console
// session, as the user logged on there, through the platform's console-user
// start (WTSQueryUserToken).
#include "service/GuiLauncher.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/error.h"
#include "platform/process.h"

bool StartPromptingGui() {
    CTraceScope scope("StartPromptingGui");
    CVexData vexData;
    platform::ProcessOptions options;
    options.bActiveConsoleUser = true;
    platform::Process process;
    const std::string csCommandLine = PromptingGuiCommandLine(vexData.GetWorkingDir());
    if (!process.Start(csCommandLine, options)) {
        scope.Err("Starting '%s' in the console session failed; the printer "
                  "waits in the list. Error: (%d)",
                  csCommandLine.c_str(), int(platform::GetLastError()));
        scope.Result(false);
        return false;
    }
    // The service does not wait for the GUI: the handle goes, the GUI runs on.
    scope.Result(true);
    return true;
}
