// The workstation's print queues as the printer management dialog sees them:
// the queues printing to one printer address, the user's default printer,
// and the rules of the dialog's buttons. No widgets.
#pragma once

#include <string>

namespace managedqueues {

// What follows a queue's name in the row of the default printer.
std::string DefaultMarker();
// The row text without the marker's last occurrence.
std::string StripDefaultMarker(const std::string& csRowText);

// The user's default printer: the first part of the profile entry "device"
// of section "windows"; "" for none.
std::string DefaultPrinter();
// Makes the queue the user's default printer ("name,driver,port").
bool SetDefaultPrinter(const std::string& csQueueName);
// Deletes the queue; false (with an error trace line) when it cannot.
bool DeleteQueue(const std::string& csQueueName);
// The first local printer of the spooler's enumeration; "" for none.
std::string FirstLocalPrinter();

struct SInfoButtons {
    bool bRemove = false;
    bool bModify = false;
    bool bSetDefault = false;
};
// Exactly one row selected: Remove and Modify, and "Set as Default Printer"
// unless it is the default already; several: Remove only; none: nothing.
SInfoButtons InfoButtons(int iSelected, bool bSelectedIsDefault);

} // namespace managedqueues
