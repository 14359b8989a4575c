#include "gui/core/Reconcile.h"

#include "gui/core/QueueNames.h"

bool ReconcilePrinter(const CPrinter& printer, const CQueueNames& queues, CPrinter* pCorrected) {
    *pCorrected = printer;
    if (printer.m_uiFlags & PRT_FLAG_ADDING)
        return false;
    if (pCorrected->m_csIconName == ",,,")
        pCorrected->m_csIconName.clear();
    if (printer.m_VexState == eVexUnsupported) {
        pCorrected->m_csIconName.clear();
    } else {
        pCorrected->m_csIconName = queues.NamesFor(printer.m_csIpAddr);
        if (printer.m_VexState == eVexWaiting && !pCorrected->m_csIconName.empty())
            pCorrected->m_VexState = eVexAdded;
        else if (printer.m_VexState == eVexAdded && pCorrected->m_csIconName.empty())
            pCorrected->m_VexState = eVexWaiting;
    }
    return pCorrected->m_csIconName != printer.m_csIconName;
}
