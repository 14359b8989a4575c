// CGtosPipeWorkThread: the service's command server. The command listener
// (CGtosPipeListenThread) runs one per GUI connection: it reads the commands
// one at a time, carries each out on the known printer list, and writes one
// answer per command ("Quit" has none) until the GUI closes its end.
//
// Every record change happens under the list lock, which is never held while a
// pipe is written. A printer whose queue is being created (flag 0x08) is left
// alone by every command.
#pragma once

#include "common/GtosPipeComm.h"
#include "common/GtosPipeListenThread.h"
#include "common/IconInfo.h"
#include "platform/pipes.h"

#include <cstdint>
#include <string>

class CPrinter;
class CTraceName;
class CPrinters;
class CAdverts;
class CRequests;

class CGtosPipeWorkThread {
public:
    // Takes the hand-over block and frees it.
    explicit CGtosPipeWorkThread(SGtosPipeWorkData* pData);
    virtual ~CGtosPipeWorkThread();
    CGtosPipeWorkThread(const CGtosPipeWorkThread&) = delete;
    CGtosPipeWorkThread& operator=(const CGtosPipeWorkThread&) = delete;

    // The command loop; at its end the pipe is flushed, disconnected and closed.
    void Work();

    // "Add Icon" with the dialog's values the command carries, and "Add Icon
    // Defaults": the creation's result code, its warnings in *puiWarnings. A
    // printer that is not listed or is being created already gets no creation
    // and the code 2 (bad request) without warnings.
    uint32_t AddIcon(const CGtosPipeComm& comm, uint32_t* puiWarnings);
    uint32_t AddIconWithDefaults(const std::string& csUUID, uint32_t* puiWarnings);

    // "Discover": two SSDP searches whose answers go into the adverts queue,
    // then waits until the advert and request threads have worked them off.
    // True whatever the network did (the trace tells).
    bool DiscoverPrinters();

private:
    // Carries out one parsed command; its answer, empty for "Quit".
    std::string Answer(EGtosCommand eCommand, const CGtosPipeComm& comm);
    // "Ignore", "Remove", "Restore", "Change state": true when the record changed.
    bool ChangePrinter(EGtosCommand eCommand, const std::string& csUUID, int32_t eNewState);
    // Under the list lock: the printer, when eNewState is a state and no
    // creation is under way for it.
    bool FindChangeablePrinter(const std::string& csUUID, int32_t eNewState, CPrinter* pPrinter);
    // "Update Icons": true when the record now holds the names and the state.
    bool UpdateIcons(const std::string& csUUID, const std::string& csIconNames, int32_t eNewState);

    // Marks the printer as being created (flag 0x08) and copies its record
    // out; false, nothing marked, when it is not listed or marked already.
    bool BeginCreation(const CTraceName& name, const std::string& csUUID, CPrinter* pPrinter);
    // Clears the mark and applies the creation's outcome to the record.
    void EndCreation(const CTraceName& name, const CPrinter& before, uint32_t uiResult,
                     const SIconInfo& actual);
    // The two search passes with their receive windows.
    void SearchPasses();
    // True when some printer's advertisement is being processed (extra flag 0x01).
    bool AnyPrinterProcessing();
    // The address a port prints to: the host name when known, else the IP address.
    static std::string PortAddress(const CPrinter& printer);

    platform::HPIPE m_hPipe;
    CPrinters* m_pPrinters;
    CAdverts* m_pAdverts;
    CRequests* m_pRequests;
};

// The listener's worker procedure: serves the connection of the block and
// returns 0.
uint32_t GtosPipeWorkThreadProc(SGtosPipeWorkData* pData);
