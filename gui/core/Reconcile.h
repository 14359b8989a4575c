// The reconciliation of a printer's queue names with the workstation's queues,
// run on every tick of the main window's 100 ms timer.
#pragma once

#include "common/Printer.h"

class CQueueNames;

// Works out the printer's names text from the queues printing to its address
// (none for an unsupported printer; ",,," counts as no names) and moves a
// state 1 printer with names to state 2 and a state 2 printer without names to
// state 1. True, with the corrected record, when the names text changed. A
// printer being created (PRT_FLAG_ADDING) is left alone: its queue appears
// before the service writes the outcome, which the service refuses to have
// corrected meanwhile.
bool ReconcilePrinter(const CPrinter& printer, const CQueueNames& queues, CPrinter* pCorrected);
