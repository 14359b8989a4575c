#include "DialogMachine.h"

#include "TestSupport.h"
#include "common/PipeMessage.h"
#include "common/VexData.h"
#include "platform/root.h"
#include "platform/spooler.h"
#include "service/GtosPipeWorkThread.h"
#include "service/IconManager.h"

using namespace platform;

namespace vexguitest {

CDialogMachine::CDialogMachine(vextest::CCreationMachine::ESpooler eSpooler)
    : m_machine({}, eSpooler) {
    if (!m_machine.Ready())
        return;
    CVexData().AddNumData(CVexData::kMainKey, "Language", 1);
    m_printers.SetKplPath(m_machine.Root().WorkDir() + CVexData().GetKplFile());
    m_pListener = std::make_unique<CGtosPipeListenThread>(&m_printers, nullptr, nullptr,
                                                          GtosPipeWorkThreadProc);
    m_thread = std::thread([this] { m_pListener->Listen(); });
    m_bReady = vextest::WaitFor(
        [] { return vextest::PipeOffered(kGtosPipeName, platform::PipeAccess::EveryLocalUser); });
}

CDialogMachine::~CDialogMachine() {
    if (m_pListener)
        m_pListener->Stop();
    if (m_thread.joinable())
        m_thread.join();
}

CPrinter CDialogMachine::AddPrinter(int n, const std::string& csModel) {
    m_devices.push_back(
        std::make_unique<vextest::CFakePrinter>(vextest::LoopbackAddress(n), csModel));
    CPrinter printer;
    printer.m_csUUID = "uuid:" + std::to_string(n);
    printer.m_csIpAddr = m_devices.back()->Address();
    printer.m_csPrinterModel = csModel;
    printer.m_csMicrocodeLevel = "1.0";
    printer.m_VexState = eVexWaiting;
    printer.m_uiPrtConfig1Var = PRT_CONFIG1_CAN_PRINT_MASK;
    m_printers.Add(printer);
    return printer;
}

uint32_t CDialogMachine::CreateQueue(const CPrinter& printer, const std::string& csQueueName,
                                     const std::string& csShareName,
                                     const std::string& csPortName) {
    SIconInfo request;
    request.csUUID = printer.m_csUUID;
    request.csPortAddress = printer.m_csIpAddr;
    request.csPortName = csPortName.empty() ? "ZANTOR:" + printer.m_csIpAddr : csPortName;
    request.eDriverType = eDriverPcl6;
    request.csIconName = csQueueName;
    request.csPrinterModel = printer.m_csPrinterModel;
    request.bShare = !csShareName.empty();
    request.csShareName = csShareName;
    SIconInfo actual;
    uint32_t uiWarnings = 0;
    return CIconManager().Add(request, &actual, &uiWarnings);
}

} // namespace vexguitest
