// The comparison behind the list's sorting, by column kind.
#pragma once

#include "common/Printer.h"

#include <string>

// Negative, zero or positive as a sorts before, with or after b by the column
// kind: IP addresses as four numbers, the state by its shown text, every other
// column by its text without regard to case.
int ComparePrinters(const CPrinter& a, const CPrinter& b, int iColumnId);
// The IP addresses as four decimal numbers, compared from the left; a part
// that is missing or not a number counts as 0.
int CompareIpAddresses(const std::string& csA, const std::string& csB);
int CompareNoCase(const std::string& csA, const std::string& csB);
