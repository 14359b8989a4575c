// The command server's printer creation: "Add Icon" with the values of the
// GUI's dialog and "Add Icon Defaults". The printer is marked as being created
// (flag 0x08) under the list lock, created without the lock, and the outcome
// is applied to its record under the lock again.
#include "service/GtosPipeWorkThread.h"

#include "common/Printers.h"
#include "common/Trace.h"
#include "service/IconManager.h"

uint32_t CGtosPipeWorkThread::AddIcon(const CGtosPipeComm& comm, uint32_t* puiWarnings) {
    CTraceScope scope("CGtosPipeWorkThread::AddIcon");
    *puiWarnings = 0;
    CPrinter printer;
    if (!BeginCreation(scope, comm.m_csUUID, &printer)) {
        scope.Result("%u", uint32_t(ICON_BAD_REQUEST));
        return ICON_BAD_REQUEST;
    }
    SIconInfo request = comm.m_IconInfo;
    request.csUUID = printer.m_csUUID;
    request.csPrinterModel = printer.m_csPrinterModel;
    request.csPortAddress = PortAddress(printer);
    SIconInfo actual;
    CIconManager manager;
    const uint32_t uiResult = manager.Add(request, &actual, puiWarnings);
    EndCreation(scope, printer, uiResult, actual);
    scope.Result("%u", uiResult);
    return uiResult;
}

uint32_t CGtosPipeWorkThread::AddIconWithDefaults(const std::string& csUUID,
                                                  uint32_t* puiWarnings) {
    CTraceScope scope("CGtosPipeWorkThread::AddIconWithDefaults");
    *puiWarnings = 0;
    CPrinter printer;
    if (!BeginCreation(scope, csUUID, &printer)) {
        scope.Result("%u", uint32_t(ICON_BAD_REQUEST));
        return ICON_BAD_REQUEST;
    }
    SIconInfo actual;
    CIconManager manager;
    const uint32_t uiResult =
        manager.AddWithDefaults(printer.m_csUUID, PortAddress(printer), printer.m_csPrinterModel,
                                printer.m_csIpAddr, &actual, puiWarnings);
    EndCreation(scope, printer, uiResult, actual);
    scope.Result("%u", uiResult);
    return uiResult;
}

std::string CGtosPipeWorkThread::PortAddress(const CPrinter& printer) {
    return printer.m_csHostName.empty() ? printer.m_csIpAddr : printer.m_csHostName;
}

bool CGtosPipeWorkThread::BeginCreation(const CTraceName& name, const std::string& csUUID,
                                        CPrinter* pPrinter) {
    CPrintersLock lock(*m_pPrinters);
    if (!m_pPrinters->Find(csUUID, *pPrinter)) {
        name.Wrn("Printer not in the list, nothing created");
        return false;
    }
    if (pPrinter->m_uiFlags & PRT_FLAG_ADDING) {
        name.Wrn("Printer is being created already, nothing created");
        return false;
    }
    pPrinter->m_uiFlags |= PRT_FLAG_ADDING;
    m_pPrinters->UpdatePrinter(*pPrinter);
    return true;
}

void CGtosPipeWorkThread::EndCreation(const CTraceName& name, const CPrinter& before,
                                      uint32_t uiResult, const SIconInfo& actual) {
    CPrintersLock lock(*m_pPrinters);
    CPrinter printer;
    if (!m_pPrinters->Find(before.m_csUUID, printer)) {
        name.Wrn("Printer no longer exists!");
        return;
    }
    printer.m_uiFlags &= ~PRT_FLAG_ADDING;
    if (uiResult == ICON_OK) {
        printer.AddIconName(actual.csIconName);
        printer.m_VexState = eVexAdded;
        // The address the port was made for: the host name, when the record had one.
        if (!before.m_csHostName.empty())
            printer.m_uiFlags |= PRT_FLAG_HOSTNAME_USED;
        else
            printer.m_uiFlags &= ~PRT_FLAG_HOSTNAME_USED;
    } else if (uiResult == ICON_MODEL_UNSUPPORTED) {
        name.Err("Printer model found to be unsupported");
        printer.m_VexState = eVexUnsupported;
    } else {
        name.Err("Attempt to add icon failed");
        printer.m_VexState = eVexAddError;
    }
    m_pPrinters->UpdatePrinter(printer);
}
