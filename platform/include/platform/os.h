// Facts about the operating system that the program logic branches on.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct OsVersion {
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
};

// The version of the (emulated) system. POSIX reads it from "os-version" in the
// system root ("MAJOR.MINOR"); missing or unreadable means 5.1.
OsVersion GetVersion();
// Writes the emulated version into the system root; Windows answers
// ERROR_NOT_SUPPORTED, its version being the machine's own.
bool SetEmulatedVersion(uint32_t dwMajor, uint32_t dwMinor);

// The system directory, ending in the path separator.
std::string GetSystemDirectory();
// "" on POSIX, ".exe" on Windows: program file names carry it.
const char* ExecutableSuffix();
// '/' on POSIX, '\\' on Windows.
char PathSeparator();
// The line ending of text files.
const char* LineEnding();

// The full path of the running program's file (GetModuleFileName of the
// program itself). False (last error set) when it cannot be found.
bool GetModuleFileName(std::string* pcsPath);

} // namespace platform
