// The rules of the create-printer and Modify dialogs that decide what the user
// may do: sharing, the OK button, the driver types shown, and whether the
// check for updated driver software can be offered. No widgets.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// What the share check box implies for the fields that depend on it.
struct SShareState {
    bool bShareNameEnabled;
    bool bPublishEnabled;
    bool bShareLabelBlue; // the share-name label is required (blue) only while sharing
    bool bPublish;
    std::string csShareName;
};

// Sharing enables the share name and "Publish". Not sharing clears "Publish"
// and refills an empty share name with the proposal (asked only then, since
// it asks the spooler).
SShareState ApplyShareRule(bool bShare, const std::string& csShareName, bool bPublish,
                           const std::function<std::string()>& defaultShareName);

// OK is allowed while the printer name, the port name and the share name all
// hold a text.
bool IsOkAllowed(const std::string& csIconName, const std::string& csPortName,
                 const std::string& csShareName);

// Whether updated driver software can be looked for on the internet: a
// browser of version 4 or later with "MkEnabled" "Yes" in
// HKLM\Software\Microsoft\Internet Explorer, the user's Internet Settings key,
// and an internet session that opens (internetOpens).
bool IsInternetUsable(const std::function<bool()>& internetOpens);

// Which of the driver types PCL 6, PCL 5 and PostScript the installed drivers
// support for the model.
std::array<bool, 3> InstalledDriverTypes(const std::string& csPrinterModel);
// The preferred type when it is installed for the model, else the first one
// that is; 999 when none is.
int32_t ShownDriverType(int32_t ePreferred, const std::array<bool, 3>& installed);
// A queue's driver type read from its driver's name: "PCL6", else "PCL",
// else "PS"; 999 for any other driver.
int32_t DriverTypeFromDriverName(const std::string& csDriverName);
