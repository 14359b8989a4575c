// The files of the package's driver, in each driver folder next to the
// installer: what the installer hands the spooler to install the driver.
#pragma once

constexpr const char* kDriverFile = "zantor.drv";
constexpr const char* kDriverDataFile = "zantor.gpd";
constexpr const char* kDriverConfigFile = "zantorui.dll";
