// What the package holds for the system's own spooler, and the file of the
// port monitor stand-in built beside samplepkg. On the emulated machine a
// driver folder carries the PPD a spooler on CUPS creates the driver's queues
// with; on Windows it carries the driver's files that the installer hands the
// spooler, which copies them into its driver folder.
#pragma once

#include <filesystem>
#include <map>

// The file name of the monitor stand-in that the build lays beside samplepkg
// (the package holds it as "zantornpmon.dll" on both systems).
const char* BuiltMonitorName();

// Lays the spooler's files of driver type driverLetter ('6', '5', 's') into
// the driver folder. pDone keeps, per driver type, the folder that was made
// first; later folders of that type may copy from it. False (with the reason
// on stderr) when a file cannot be made.
bool LaySpoolerFiles(const std::filesystem::path& folder, char driverLetter,
                     std::map<char, std::filesystem::path>* pDone);
