// What the printer queries read from a printer's parsed UPnP answers: the
// print service's control URL in the device description, and the value of
// the SOAP answer to a state-variable query.
#pragma once

#include "service/Xml.h"

#include <cstdint>
#include <string>

// URLBase's path part + the controlURL of the print service; empty when the
// description names no print service. *piPort is URLBase's port, else 80.
std::string StateVariableUrl(SXmlElem* pRoot, int32_t* piPort);
// The first "return" element's value as an unsigned word (its "can print"
// bits are the two highest), 0 when there is none.
uint32_t ReturnWord(SXmlElem* pRoot);
