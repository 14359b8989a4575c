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
#undef FindFirstFile
#undef GetFileAttributes
#undef SetFileAttributes
#undef CopyFile
#undef MoveFile
#undef DeleteFile
#undef CreateDirectory
#undef GetFileVersionInfoSize
#undef GetFileVersionInfo
#undef VerQueryValue
#undef OpenSCManager
#undef CreateService
#undef OpenService
#undef ChangeServiceConfig
#undef QueryServiceConfig
#undef StartService
#undef EnumDependentServices
#undef EnumServicesStatus
#undef StartServiceCtrlDispatcher
#undef RegisterServiceCtrlHandler
