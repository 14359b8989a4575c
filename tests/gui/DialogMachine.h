// The machine the printer dialogs are tested on: the driver package, the
// Spooler with the port monitor, printers answering on port 9100, and the
// service's real command server on a thread of this process over a known
// printer list, as a running vexsrv would serve the GUI.
#pragma once

#include "CreationMachine.h"
#include "common/GtosPipeListenThread.h"
#include "common/IconInfo.h"
#include "common/Printer.h"
#include "common/Printers.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace vexguitest {

class CDialogMachine {
public:
    explicit CDialogMachine(vextest::CCreationMachine::ESpooler eSpooler =
                                vextest::CCreationMachine::ESpooler::Emulated);
    ~CDialogMachine();
    CDialogMachine(const CDialogMachine&) = delete;
    CDialogMachine& operator=(const CDialogMachine&) = delete;

    bool Ready() const { return m_bReady; }
    vextest::TempRoot& Root() { return m_machine.Root(); }
    CPrinters& Printers() { return m_printers; }

    // A known printer awaiting the user's decision, played on the n-th
    // loopback address of this process (its print port answers while the
    // machine lives).
    CPrinter AddPrinter(int n, const std::string& csModel = "Zantor Pressa A");
    // Creates a queue for the printer as the service would (the port monitor
    // makes the port, "ZANTOR:<address>" unless named); the creation's result code.
    uint32_t CreateQueue(const CPrinter& printer, const std::string& csQueueName,
                         const std::string& csShareName = "", const std::string& csPortName = "");

private:
    vextest::CCreationMachine m_machine;
    CPrinters m_printers;
    std::vector<std::unique_ptr<vextest::CFakePrinter>> m_devices;
    std::unique_ptr<CGtosPipeListenThread> m_pListener;
    std::thread m_thread;
    bool m_bReady = false;
};

} // namespace vexguitest
