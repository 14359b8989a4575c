// printer-sim: one process that plays many network printers on loopback
// addresses, for the tests, the demo and anyone who wants to watch discovery.
// It must run inside a private network namespace (scripts/netns).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// How the sequence numbers of a printer's advertisements run.
enum class ESeqMode { Up, Repeat, Back, Zero, None };

// What a printer does wrong.
enum class EFault {
    None,
    NotFound, // every HTTP request gets 404
    NoReturn, // the SOAP answer has no return element
    Silent,   // accepts connections and never answers
    NoClose,  // answers and never closes the connection
    Huge,     // the description is 10 MB long
    Oversize, // advertisements of 2,000 bytes
    Garbage,  // malformed datagrams instead of advertisements
};

struct SOptions {
    int iCount = 1;
    std::string csFirstAddr = "127.0.0.2";
    std::string csModel = "Laser 1332";
    std::string csMicrocode = "A1.0";
    uint32_t uiConfig = 0xC0000000;
    double dIntervalSec = 30; // between announcement rounds
    int iRounds = 0;          // announcement rounds, 0: without end
    int iHttpPort = 8080;
    int iPrintPort = 9100; // raw printing, and the PJL questions of the port monitor
    bool bReadOnlyCommunity = false;
    ESeqMode eSeqMode = ESeqMode::Up;
    uint32_t uiSeqStart = 1;
    EFault eFault = EFault::None;
    std::string csUuidPrefix = "5a3e0000-0000-4000-8000";
    std::string csSend = "alive"; // "alive", or "byebye" (one round, then end)
    bool bByeByeAtExit = false;
    bool bAnswerSearch = true;
    bool bAnnounce = true;   // false: no NOTIFY at all, the printers only answer searches
    std::string csReadyFile; // written once the sockets are ready
    std::string csLogFile;   // one line per HTTP request: address, method, path
    std::string csJobsDir;   // each job received on the print port, in a file
    int iBurstGapUs = 0;     // pause between the datagrams of one round
    bool bVerbose = false;   // a line on stdout when each round is out (wall-clock time)
    int iLatencyMs = 0;      // each HTTP answer this late
    int iBlackHoles = 0;     // extra UUIDs from one address whose web server never answers
};

struct SPrinter {
    std::string csAddr;
    std::string csUuid;
    uint32_t uiSeq;
    bool bBlackHole = false; // accepts HTTP connections and never answers
};

// Parses the command line; false (after a message on stderr) for bad options.
bool ParseOptions(int argc, char** argv, SOptions* pOptions);
void PrintUsage();

// The printers of the options, on consecutive addresses (x.y.z.0 and .255
// skipped), then the black holes, all on the address after the last printer.
bool MakePrinters(const SOptions& options, std::vector<SPrinter>* pPrinters);

// SSDP texts.
std::string AliveText(const SOptions& options, const SPrinter& printer, uint32_t uiSeq);
std::string ByeByeText(const SOptions& options, const SPrinter& printer, uint32_t uiSeq);
std::string SearchAnswerText(const SOptions& options, const SPrinter& printer, uint32_t uiSeq);
std::string GarbageText(const SPrinter& printer, uint32_t uiRound);
// The sequence number of the next advertisement; advances the printer's counter.
uint32_t NextSeq(const SOptions& options, SPrinter& printer);

// PJL: the answer to the port monitor's questions (model and configuration).
std::string PjlAnswer(const SOptions& options);

// HTTP: the answer to one request (method and path), empty for no answer.
std::string HttpAnswer(const SOptions& options, const SPrinter& printer,
                       const std::string& csMethod, const std::string& csPath);

} // namespace sim
