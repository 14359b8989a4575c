// Starts of services asked of the start manager (POSIX only).
//
// Every service runs as the system root's owner, whoever starts it, as a
// service of a real machine runs as the system and not as the user who started
// it. A machine's administrator who is not the owner (a member of the
// administrators' group) therefore does not start the program itself: it asks
// the start manager, a process of the owner listening on "run/services.mgr",
// which starts the service for it and answers with the start's result.
#pragma once

#include <string>
#include <vector>

namespace platform::posix {

inline constexpr char kStartManagerName[] = "services.mgr";

// The start itself, by the calling process (the owner's).
bool StartServiceByName(const std::string& csName, const std::vector<std::string>& args);

// Asks the start manager to start the service. False with the manager's answer
// as last error; ERROR_ACCESS_DENIED when no manager of the owner's answers.
bool AskManagerToStart(const std::string& csName, const std::vector<std::string>& args);

} // namespace platform::posix
