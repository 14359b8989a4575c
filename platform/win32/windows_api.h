// The Win32 API for the back end's sources. Include it after the platform
// headers: the platform names its constants as Windows does (ERROR_SUCCESS,
// REG_SZ, ...), with the same values, and windows.h makes them macros, so
// after this header the bare names still mean the same numbers. The A/W
// switch macros that share a name with a platform call are removed here; the
// back end calls the A functions by their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef GetModuleFileName
#undef GetSystemDirectory
#undef RegOpenKeyEx
#undef RegCreateKeyEx
#undef RegDeleteKey
#undef RegQueryValueEx
#undef RegSetValueEx
#undef RegDeleteValue
#undef RegEnumKeyEx
#undef RegEnumValue
#undef CreateNamedPipe
#undef SetConsoleCtrlHandler
#undef CreateFileMapping
