// The monitor's messages go to its standard error, which its host keeps.
#pragma once

#include <cstdio>
#include <string>

inline void Log(const std::string& text) {
    std::fprintf(stderr, "zantornpmon: %s\n", text.c_str());
}
