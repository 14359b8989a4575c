// A demo machine for the GUI: known printers in mixed states, and for each
// created one a workstation queue on a port of the port monitor that records
// the printer's address. Used by the screenshots and the benchmarks.
#pragma once

#include "common/Printer.h"

#include <string>
#include <vector>

namespace guidemo {

// iCount printers at 10.0.x.y in every state (a few that cannot print, one
// with a long list of queue names); deterministic.
std::vector<CPrinter> MakePrinters(int iCount);
// Writes the printers to the working directory's list file.
bool WriteList(const std::vector<CPrinter>& printers);
// Creates the queues named in each created printer's names text, each on a
// port of its own that records the printer's address (the spooler must run).
bool AddQueues(const std::vector<CPrinter>& printers, std::string* pcsError);

} // namespace guidemo
