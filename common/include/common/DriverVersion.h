// Driver versions as the package's .inf files and the download site write them
// ("1.2.3.4"): compared part by part, each part as a number, so that "1.10"
// is newer than "1.9".
#pragma once

#include <string>

// Negative when csLeft is older than csRight, 0 when they are the same version,
// positive when it is newer. Parts are the texts between dots, blanks around
// them ignored; a missing part counts as 0 ("1.2" equals "1.2.0"); a part that
// is not a number on either side is compared as text.
int CompareDriverVersions(const std::string& csLeft, const std::string& csRight);
