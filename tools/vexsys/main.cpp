// vexsys: looks into and sets up the emulated machine of a system root (VEX_ROOT).
#include "Command.h"

#include "platform/access.h"
#include "platform/root.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace vexsys {

static std::map<std::string, SCommand>& Commands() {
    static std::map<std::string, SCommand> commands;
    return commands;
}

bool RegisterCommand(const SCommand& command) {
    Commands()[command.name] = command;
    return true;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "vexsys: %s\n", message.c_str());
    return 2;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "vexsys: %s\n", message.c_str());
    return 1;
}

bool ParseNumber(const std::string& text, unsigned long long max, unsigned long long* value) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v > max)
        return false;
    *value = v;
    return true;
}

static void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: vexsys COMMAND [ARGS...]   (system root: VEX_ROOT=%s)\n",
                 platform::SystemRoot().c_str());
    for (const auto& [name, command] : Commands())
        std::fprintf(out, "%s\n", command.usage);
}

} // namespace vexsys

int main(int argc, char** argv) {
    using namespace vexsys;
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        PrintUsage(stdout);
        return 0;
    }
    auto it = Commands().find(name);
    if (it == Commands().end()) {
        std::fprintf(stderr, "vexsys: unknown command '%s'\n", name.c_str());
        PrintUsage(stderr);
        return 2;
    }
    // The emulated machine belongs to its administrators; a list file (kpl) is
    // any file the caller may read.
    if (name != "kpl" && !platform::IsMachineAdministrator()) {
        std::fprintf(stderr,
                     "vexsys: the emulated machine at %s is for its administrators: run vexsys "
                     "as root or as a member of the group '%s'\n",
                     platform::SystemRoot().c_str(), platform::AdministratorsGroupName().c_str());
        return 1;
    }
    return it->second.run(Args(argv + 2, argv + argc));
}
