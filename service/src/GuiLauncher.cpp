// The prompting GUI's command line; where it is started is the system's
// (src/posix/: the recorded desktop session, src/win32/: the console session).
#include "service/GuiLauncher.h"

#include "platform/os.h"
#include "platform/process.h"

std::string PromptingGuiCommandLine(const std::string& csWorkingDir) {
    return platform::QuoteArgument(csWorkingDir + "vexgui" + platform::ExecutableSuffix()) +
           " /Prompt";
}
