// The texts of a printer's row in the list, by column kind (eColumn).
#pragma once

#include "common/Printer.h"

#include <string>

// Names text longer than this many characters is cut and "..." appended.
constexpr size_t kMaxIconNamesShown = 200;

// The state's words (5007..5013), followed by " (Can't print)" unless both top
// bits of the configuration word are set.
std::string StateText(const CPrinter& printer);
// The names text as shown: cut to its first 200 characters plus "..." when it
// has 200 characters or more.
std::string ShownIconNames(const std::string& csIconNames);
// The text of one column kind (1..7); empty for any other.
std::string ColumnText(const CPrinter& printer, int iColumnId);
// The header text of one column kind (1..7).
std::string ColumnHeader(int iColumnId);
