// The Windows test program's entry: gtest, or a helper process.
#include "Helpers.h"

#include <cstring>
#include <gtest/gtest.h>
#include <process.h>
#include <vector>
#include <windows.h>

#include <sddl.h> // after windows.h

std::string win32test::UniqueName(const std::string& csBase) {
    return csBase + "-" + std::to_string(::_getpid());
}

bool win32test::UnderWine() {
    HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return hNtdll && ::GetProcAddress(hNtdll, "wine_get_version");
}

void* win32test::SquatterPipe(const std::string& csName) {
    HANDLE hToken = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken);
    DWORD dwSize = 0;
    ::GetTokenInformation(hToken, TokenUser, nullptr, 0, &dwSize);
    std::vector<uint64_t> user(dwSize / 8 + 1);
    ::GetTokenInformation(hToken, TokenUser, user.data(), DWORD(user.size() * 8), &dwSize);
    ::CloseHandle(hToken);
    char* pszSid = nullptr;
    ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &pszSid);
    const std::string csSddl = std::string("O:") + pszSid + "D:(A;;GA;;;WD)";
    ::LocalFree(pszSid);
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA(csSddl.c_str(), SDDL_REVISION_1,
                                                           &sa.lpSecurityDescriptor, nullptr);
    HANDLE h = ::CreateNamedPipeA(csName.c_str(), PIPE_ACCESS_DUPLEX,
                                  PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 4, 4096, 4096, 0, &sa);
    ::LocalFree(sa.lpSecurityDescriptor);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

void win32test::CloseSquatterPipe(void* hPipe) {
    ::CloseHandle(hPipe);
}

int main(int argc, char** argv) {
    const char kHelper[] = "--vex-helper=";
    if (argc >= 2 && std::strncmp(argv[1], kHelper, sizeof kHelper - 1) == 0)
        return win32test::RunHelper(argv[1] + sizeof kHelper - 1,
                                    std::vector<std::string>(argv + 2, argv + argc));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
