// The wildcard match of FindFiles, checked the same way for both back ends.
#pragma once

#include "platform/files.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace filestest {

// Lays One.INF, two.inf and three.txt in csDir (which ends in a separator) and
// checks that "*.inf" finds the first two, whatever the case of their names.
inline void ExpectInfFilesFound(const std::string& csDir) {
    for (const char* name : {"One.INF", "two.inf", "three.txt"})
        std::ofstream(csDir + name, std::ios::binary) << name;
    std::vector<platform::FindData> found;
    ASSERT_TRUE(platform::FindFiles(csDir + "*.inf", &found));
    std::vector<std::string> names;
    for (const auto& f : found)
        names.push_back(f.csName);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"One.INF", "two.inf"}), names);
}

} // namespace filestest
