// The sub-commands of vexsys. Each command group lives in a file of its own and
// registers itself with VEXSYS_COMMAND.
#pragma once

#include <string>
#include <vector>

namespace vexsys {

using Args = std::vector<std::string>;

struct SCommand {
    const char* name;
    const char* usage; // one or more lines, each starting with the command's name
    int (*run)(const Args& args);
};

bool RegisterCommand(const SCommand& command);
// Prints "vexsys: " + message to standard error and returns 2 (bad usage).
int UsageError(const std::string& message);
// Prints "vexsys: " + message to standard error and returns 1 (failed).
int Failure(const std::string& message);
// Parses a decimal or 0x-prefixed unsigned number; false when it is not one.
bool ParseNumber(const std::string& text, unsigned long long max, unsigned long long* value);

} // namespace vexsys

#define VEXSYS_COMMAND(id, name, usage)                                                            \
    static int VexsysRun_##id(const vexsys::Args& args);                                           \
    static const bool s_vexsys_##id = vexsys::RegisterCommand({name, usage, VexsysRun_##id});      \
    static int VexsysRun_##id(const vexsys::Args& args)
