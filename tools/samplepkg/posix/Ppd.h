// The PPD of a driver type, for the spoolers that print through CUPS.
#pragma once

#include <filesystem>

// Compiles the PPD of the driver letter ('6' PCL 6, '5' PCL 5, 's'
// PostScript) into the folder with CUPS's PPD compiler, as "zantor<letter>.ppd".
// False (with the reason on stderr) when it cannot.
bool CompilePpd(const std::filesystem::path& folder, char driverLetter);
// Whether CUPS's PPD compiler is installed.
bool HasPpdCompiler();
