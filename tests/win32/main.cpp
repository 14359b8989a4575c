// The Windows test program's entry: gtest, or a helper process.
#include "Helpers.h"

#include <cstring>
#include <gtest/gtest.h>
#include <process.h>
#include <windows.h>

std::string win32test::UniqueName(const std::string& csBase) {
    return csBase + "-" + std::to_string(::_getpid());
}

bool win32test::UnderWine() {
    HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return hNtdll && ::GetProcAddress(hNtdll, "wine_get_version");
}

int main(int argc, char** argv) {
    const char kHelper[] = "--vex-helper=";
    if (argc >= 2 && std::strncmp(argv[1], kHelper, sizeof kHelper - 1) == 0)
        return win32test::RunHelper(argv[1] + sizeof kHelper - 1,
                                    std::vector<std::string>(argv + 2, argv + argc));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
