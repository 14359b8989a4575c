// What the main window tells the user after the service rewrote the list
// file: the first change of a known printer between two snapshots.
#pragma once

#include "common/Printer.h"

#include <string>
#include <vector>

// Copies of the records not in state 3 (ignored), in list order.
class CPrinters;
std::vector<CPrinter> TakeSnapshot(CPrinters& printers);

// Walks the first snapshot in order and compares each printer with the one of
// the same UUID in the second. The first difference decides: host name 146,
// IP address 147, microcode 148, configuration word or state 149; *pcsUUID
// then names the printer. 0 when none changed (printers that appeared or
// disappeared do not count).
uint32_t FirstChangeMessage(const std::vector<CPrinter>& first, const std::vector<CPrinter>& second,
                            std::string* pcsUUID);
