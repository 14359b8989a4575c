// Small texts of the application: its command line and its window title.
#pragma once

#include <string>
#include <vector>

// True when an argument is the switch "Prompt" after "/" or "-", in any letter
// case. Every other argument (a file to open or print) is left aside: the
// program always starts with its one empty document.
bool HasPromptSwitch(const std::vector<std::string>& arguments);

// "Zantor Ambrel - <language> Drivers Package" for the drivers package's
// three-letter language code; false for a code outside the known ones.
bool WindowTitleForLanguage(const std::string& csCode, std::string* pcsTitle);
