// The maker's driver download site: where the packages for a system, driver
// type and language lie, and the user's Internet settings that decide whether
// and how the site is reached.
#pragma once

#include "common/VexData.h"

#include <string>

// The registry value (main key) that holds the site's root address, such as
// "ftp://drivers.example" or "http://127.0.0.1:8080": configuration of the
// deployment. Without it no update can be looked for.
extern const char* const kDriverSiteValue;

struct SDriverAddresses {
    std::string csPackage;  // ...LANGCODE.exe
    std::string csChecksum; // ...LANGCODE.sum
};

// The root address from the registry, without a trailing '/'; empty when none
// is configured.
std::string GetDriverSiteRoot();

// The addresses of the package for the system and driver type in one language:
// base for the system and type, language folder, file prefix, language code.
// False when the site has no packages for that system or type (PCL 5, Windows
// 9x) or the root is empty.
bool BuildDriverAddresses(const std::string& csRoot, eOs os, eDriverType eType,
                          const std::string& csLanguageFolder, const std::string& csLanguageCode,
                          SDriverAddresses* pAddresses);

// Whether an internet session opens with the user's preconfigured access (the
// last part of the internet rule, IsInternetUsable in IconDlgRules.h).
bool InternetSessionOpens();
// Whether the user's Internet settings switch a proxy on.
bool IsProxyEnabled();
// Starts the connection wizard, found by the "Path" value of its "App Paths"
// key; false when it is not installed or cannot be started.
bool StartConnectionWizard();
