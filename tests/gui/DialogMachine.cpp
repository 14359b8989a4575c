#include "DialogMachine.h"

#include "TestSupport.h"
#include "common/VexData.h"
#include "platform/root.h"
#include "platform/spooler.h"
#include "service/GtosPipeWorkThread.h"
#include "service/IconManager.h"

using namespace platform;

namespace vexguitest {

bool ReadQueue(const std::string& csName, SQueueRecord* pQueue) {
    uint32_t needed = 0, count = 0;
    EnumPrinters(PRINTER_ENUM_LOCAL, 2, nullptr, 0, &needed, &count);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    if (!EnumPrinters(PRINTER_ENUM_LOCAL, 2, bytes, needed, &needed, &count))
        return false;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2*>(bytes);
    for (uint32_t i = 0; i < count; ++i) {
        const PRINTER_INFO_2& p = printers[i];
        if (csName == p.pPrinterName) {
            *pQueue = {p.pPrinterName, p.pShareName, p.pPortName, p.pDriverName,
                       p.pComment,     p.pLocation,  p.pSepFile,  p.Attributes};
            return true;
        }
    }
    return false;
}

CDialogMachine::CDialogMachine() {
    if (!m_machine.Ready())
        return;
    CVexData().AddNumData(CVexData::kMainKey, "Language", 1);
    m_printers.SetKplPath(m_machine.Root().WorkDir() + CVexData().GetKplFile());
    m_pListener = std::make_unique<CGtosPipeListenThread>(&m_printers, nullptr, nullptr,
                                                          GtosPipeWorkThreadProc);
    m_thread = std::thread([this] { m_pListener->Listen(); });
    m_bReady = vextest::WaitFor([] { return vextest::PipeOffered("run/zantorvex.pipe"); });
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
