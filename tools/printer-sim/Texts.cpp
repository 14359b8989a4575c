// printer-sim: options, printers, and the texts they send.
#include "Sim.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

const char kUrn[] = "urn:zantor-schemas-ambrel:service:Print:1";

std::string ServerValue(const SOptions& options) {
    std::string csModel = options.csModel;
    for (char& c : csModel)
        if (c == ' ')
            c = '_';
    return "Sim/1.0 UPnP/1.0 " + csModel + "/" + options.csMicrocode + " printer-sim";
}

std::string Location(const SOptions& options, const SPrinter& printer) {
    return "http://" + printer.csAddr + ":" + std::to_string(options.iHttpPort) + "/desc.xml";
}

std::string SeqHeader(const SOptions& options, uint32_t uiSeq) {
    if (options.eSeqMode == ESeqMode::None)
        return "";
    return "X-ZANTOR-UPNP-SEQNUM: " + std::to_string(uiSeq) + "\r\n";
}

bool ParseFault(const std::string& csText, EFault* peFault) {
    static const struct {
        const char* pszName;
        EFault eFault;
    } faults[] = {{"none", EFault::None},         {"404", EFault::NotFound},
                  {"noreturn", EFault::NoReturn}, {"silent", EFault::Silent},
                  {"noclose", EFault::NoClose},   {"huge", EFault::Huge},
                  {"oversize", EFault::Oversize}, {"garbage", EFault::Garbage}};
    for (const auto& fault : faults)
        if (csText == fault.pszName) {
            *peFault = fault.eFault;
            return true;
        }
    return false;
}

bool ParseSeqMode(const std::string& csText, ESeqMode* peMode) {
    if (csText == "up")
        *peMode = ESeqMode::Up;
    else if (csText == "repeat")
        *peMode = ESeqMode::Repeat;
    else if (csText == "back")
        *peMode = ESeqMode::Back;
    else if (csText == "zero")
        *peMode = ESeqMode::Zero;
    else if (csText == "none")
        *peMode = ESeqMode::None;
    else
        return false;
    return true;
}

bool ParseNumber(const char* pszText, long long llMin, long long llMax, long long* pllValue) {
    char* pszEnd = nullptr;
    errno = 0;
    long long llValue = std::strtoll(pszText, &pszEnd, 0);
    if (errno != 0 || pszEnd == pszText || *pszEnd != '\0' || llValue < llMin || llValue > llMax)
        return false;
    *pllValue = llValue;
    return true;
}

} // namespace

void PrintUsage() {
    std::fputs(
        "usage: printer-sim [options]   (only inside a private network namespace: scripts/netns)\n"
        "  --count N            printers to play (1)\n"
        "  --first ADDR         first printer's address, 127.x.y.z (127.0.0.2)\n"
        "  --model TEXT         model name (\"Laser 1332\")\n"
        "  --microcode TEXT     microcode level (A1.0)\n"
        "  --config WORD        configuration word X_Config1 (3221225472)\n"
        "  --interval SECONDS   between announcement rounds (30)\n"
        "  --rounds N           announcement rounds, then only answers; 0: no end (0)\n"
        "  --http-port PORT     port of the description and the control URL (8080)\n"
        "  --print-port PORT    raw print port, answers the port monitor's PJL (9100)\n"
        "  --read-only-community   the PJL configuration names a read-only community\n"
        "  --seq up|repeat|back|zero|none   sequence numbering (up)\n"
        "  --seq-start N        first sequence number (1)\n"
        "  --fault none|404|noreturn|silent|noclose|huge|oversize|garbage\n"
        "  --uuid-prefix TEXT   UUIDs are TEXT-NNNNNNNNNNNN\n"
        "  --send alive|byebye  byebye: one round of byebye, then end (alive)\n"
        "  --byebye-at-exit     send byebye when ended by SIGINT or SIGTERM\n"
        "  --no-search          do not answer M-SEARCH\n"
        "  --no-announce        send no NOTIFY at all: only answer M-SEARCH\n"
        "  --burst-gap-us N     pause between the datagrams of a round (0)\n"
        "  --ready FILE         write FILE once the sockets are ready\n"
        "  --jobs DIR           write each job printed to DIR (ADDR-N.prn), and its\n"
        "                       address, number, bytes, start, end and file to DIR/jobs.log\n"
        "  --verbose            print 'round N sent at SECONDS' (wall clock) after each round\n"
        "  --log FILE           append 'ADDR METHOD PATH' for every HTTP request\n"
        "  --latency MS         each HTTP answer MS milliseconds late (0)\n"
        "  --blackhole N        N more UUIDs, all from the address after the last printer,\n"
        "                       whose web server accepts and never answers (0)\n",
        stderr);
}

bool ParseOptions(int argc, char** argv, SOptions* pOptions) {
    for (int i = 1; i < argc; ++i) {
        const std::string csOption = argv[i];
        if (csOption == "--byebye-at-exit") {
            pOptions->bByeByeAtExit = true;
            continue;
        }
        if (csOption == "--verbose") {
            pOptions->bVerbose = true;
            continue;
        }
        if (csOption == "--read-only-community") {
            pOptions->bReadOnlyCommunity = true;
            continue;
        }
        if (csOption == "--no-search") {
            pOptions->bAnswerSearch = false;
            continue;
        }
        if (csOption == "--no-announce") {
            pOptions->bAnnounce = false;
            continue;
        }
        if (csOption == "--help" || i + 1 >= argc) {
            if (csOption != "--help")
                std::fprintf(stderr, "printer-sim: %s needs a value\n", csOption.c_str());
            return false;
        }
        const char* pszValue = argv[++i];
        long long llValue = 0;
        bool bOk = true;
        if (csOption == "--count")
            bOk = ParseNumber(pszValue, 1, 1000000, &llValue) && (pOptions->iCount = int(llValue));
        else if (csOption == "--first")
            pOptions->csFirstAddr = pszValue;
        else if (csOption == "--model")
            pOptions->csModel = pszValue;
        else if (csOption == "--microcode")
            pOptions->csMicrocode = pszValue;
        else if (csOption == "--config")
            bOk = ParseNumber(pszValue, 0, 0xFFFFFFFFLL, &llValue) &&
                  ((pOptions->uiConfig = uint32_t(llValue)), true);
        else if (csOption == "--interval") {
            char* pszEnd = nullptr;
            pOptions->dIntervalSec = std::strtod(pszValue, &pszEnd);
            bOk = pszEnd != pszValue && *pszEnd == '\0' && pOptions->dIntervalSec > 0;
        } else if (csOption == "--rounds")
            bOk = ParseNumber(pszValue, 0, 1 << 30, &llValue) &&
                  ((pOptions->iRounds = int(llValue)), true);
        else if (csOption == "--http-port")
            bOk = ParseNumber(pszValue, 1, 65535, &llValue) && (pOptions->iHttpPort = int(llValue));
        else if (csOption == "--print-port")
            bOk =
                ParseNumber(pszValue, 1, 65535, &llValue) && (pOptions->iPrintPort = int(llValue));
        else if (csOption == "--seq")
            bOk = ParseSeqMode(pszValue, &pOptions->eSeqMode);
        else if (csOption == "--seq-start")
            bOk = ParseNumber(pszValue, 0, 0xFFFFFFFFLL, &llValue) &&
                  ((pOptions->uiSeqStart = uint32_t(llValue)), true);
        else if (csOption == "--fault")
            bOk = ParseFault(pszValue, &pOptions->eFault);
        else if (csOption == "--uuid-prefix")
            pOptions->csUuidPrefix = pszValue;
        else if (csOption == "--send")
            bOk = (pOptions->csSend = pszValue) == "alive" || pOptions->csSend == "byebye";
        else if (csOption == "--burst-gap-us")
            bOk = ParseNumber(pszValue, 0, 1000000, &llValue) &&
                  ((pOptions->iBurstGapUs = int(llValue)), true);
        else if (csOption == "--ready")
            pOptions->csReadyFile = pszValue;
        else if (csOption == "--jobs")
            pOptions->csJobsDir = pszValue;
        else if (csOption == "--log")
            pOptions->csLogFile = pszValue;
        else if (csOption == "--latency")
            bOk = ParseNumber(pszValue, 0, 600000, &llValue) &&
                  ((pOptions->iLatencyMs = int(llValue)), true);
        else if (csOption == "--blackhole")
            bOk = ParseNumber(pszValue, 0, 1000000, &llValue) &&
                  ((pOptions->iBlackHoles = int(llValue)), true);
        else
            bOk = false;
        if (!bOk) {
            std::fprintf(stderr, "printer-sim: bad option %s %s\n", csOption.c_str(), pszValue);
            return false;
        }
    }
    return true;
}

bool MakePrinters(const SOptions& options, std::vector<SPrinter>* pPrinters) {
    in_addr addr;
    if (::inet_pton(AF_INET, options.csFirstAddr.c_str(), &addr) != 1) {
        std::fprintf(stderr, "printer-sim: bad address %s\n", options.csFirstAddr.c_str());
        return false;
    }
    uint32_t uiAddr = ntohl(addr.s_addr);
    // Loopback only: nothing this program sends may leave the machine.
    auto nextAddr = [&uiAddr](std::string* pcsAddr) {
        while ((uiAddr & 0xFF) == 0 || (uiAddr & 0xFF) == 0xFF)
            ++uiAddr;
        if ((uiAddr >> 24) != 127) {
            std::fprintf(stderr, "printer-sim: addresses must lie in 127.0.0.0/8\n");
            return false;
        }
        in_addr next;
        next.s_addr = htonl(uiAddr++);
        char szAddr[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, &next, szAddr, sizeof szAddr);
        *pcsAddr = szAddr;
        return true;
    };
    char szUuid[128];
    std::string csAddr;
    for (int i = 0; i < options.iCount; ++i) {
        if (!nextAddr(&csAddr))
            return false;
        std::snprintf(szUuid, sizeof szUuid, "%s-%012d", options.csUuidPrefix.c_str(), i + 1);
        pPrinters->push_back({csAddr, szUuid, options.uiSeqStart});
    }
    if (options.iBlackHoles > 0 && !nextAddr(&csAddr))
        return false;
    for (int i = 0; i < options.iBlackHoles; ++i) {
        std::snprintf(szUuid, sizeof szUuid, "%s-b%011d", options.csUuidPrefix.c_str(), i + 1);
        pPrinters->push_back({csAddr, szUuid, options.uiSeqStart, true});
    }
    return true;
}

uint32_t NextSeq(const SOptions& options, SPrinter& printer) {
    switch (options.eSeqMode) {
    case ESeqMode::Up:
        return printer.uiSeq++;
    case ESeqMode::Back:
        return printer.uiSeq > 1 ? printer.uiSeq-- : 1;
    case ESeqMode::Zero:
        return 0;
    default:
        return printer.uiSeq;
    }
}

std::string AliveText(const SOptions& options, const SPrinter& printer, uint32_t uiSeq) {
    std::string csText = "NOTIFY * HTTP/1.1\r\n"
                         "HOST: 239.255.255.250:1900\r\n"
                         "CACHE-CONTROL: max-age=1800\r\n"
                         "LOCATION: " +
                         Location(options, printer) + "\r\nNT: " + kUrn +
                         "\r\n"
                         "NTS: ssdp:alive\r\n"
                         "SERVER: " +
                         ServerValue(options) + "\r\nUSN: uuid:" + printer.csUuid + "::" + kUrn +
                         "\r\n" + SeqHeader(options, uiSeq);
    if (options.eFault == EFault::Oversize)
        csText += "X-PADDING: " + std::string(2000 - csText.size() - 15, 'x') + "\r\n";
    return csText + "\r\n";
}

std::string ByeByeText(const SOptions& options, const SPrinter& printer, uint32_t uiSeq) {
    return "NOTIFY * HTTP/1.1\r\n"
           "HOST: 239.255.255.250:1900\r\n"
           "LOCATION: " +
           Location(options, printer) + "\r\nNT: " + kUrn +
           "\r\n"
           "NTS: ssdp:byebye\r\n"
           "USN: uuid:" +
           printer.csUuid + "::" + kUrn + "\r\n" + SeqHeader(options, uiSeq) + "\r\n";
}

std::string SearchAnswerText(const SOptions& options, const SPrinter& printer, uint32_t uiSeq) {
    return "HTTP/1.1 200 OK\r\n"
           "CACHE-CONTROL: max-age=1800\r\n"
           "EXT:\r\n"
           "LOCATION: " +
           Location(options, printer) + "\r\nSERVER: " + ServerValue(options) + "\r\nST: " + kUrn +
           "\r\nUSN: uuid:" + printer.csUuid + "::" + kUrn + "\r\n" + SeqHeader(options, uiSeq) +
           "\r\n";
}

std::string GarbageText(const SPrinter& printer, uint32_t uiRound) {
    // Alternately: no request line, a header block that never ends, binary noise.
    switch (uiRound % 3) {
    case 0:
        return "HELLO " + printer.csAddr + "\r\nNT: " + kUrn + "\r\n\r\n";
    case 1:
        return "NOTIFY * HTTP/1.1\r\nNTS: ssdp:alive\r\nUSN: uuid:" + printer.csUuid;
    default: {
        std::string csNoise(300, '\0');
        for (size_t i = 0; i < csNoise.size(); ++i)
            csNoise[i] = char((i * 131 + uiRound) & 0xFF);
        return csNoise;
    }
    }
}

std::string PjlAnswer(const SOptions& options) {
    return "@PJL INFO ID\r\n\"" + options.csModel + "\"\r\n\f@PJL INFO CONFIG\r\n" +
           (options.bReadOnlyCommunity ? "SNMP COMMUNITY=READ\r\n" : "") + "\f";
}

std::string HttpAnswer(const SOptions& options, const SPrinter& printer,
                       const std::string& csMethod, const std::string& csPath) {
    std::string csBody;
    if (options.eFault != EFault::NotFound && csMethod == "GET" && csPath == "/desc.xml") {
        csBody = "<?xml version=\"1.0\"?>\r\n"
                 "<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\r\n"
                 "<specVersion><major>1</major><minor>0</minor></specVersion>\r\n"
                 "<URLBase>http://" +
                 printer.csAddr + ":" + std::to_string(options.iHttpPort) +
                 "/</URLBase>\r\n"
                 "<device>\r\n"
                 "<deviceType>urn:zantor-schemas-ambrel:device:Printer:1</deviceType>\r\n"
                 "<friendlyName>Simulated printer " +
                 printer.csAddr + "</friendlyName>\r\n<modelName>" + options.csModel +
                 "</modelName>\r\n<UDN>uuid:" + printer.csUuid +
                 "</UDN>\r\n"
                 "<serviceList><service>\r\n"
                 "<serviceType>" +
                 kUrn +
                 "</serviceType>\r\n"
                 "<serviceId>urn:zantor-com:serviceId:Print1</serviceId>\r\n"
                 "<controlURL>control/print</controlURL>\r\n"
                 "<eventSubURL>event/print</eventSubURL>\r\n"
                 "<SCPDURL>print.xml</SCPDURL>\r\n"
                 "</service></serviceList>\r\n"
                 "</device>\r\n"
                 "</root>\r\n";
        if (options.eFault == EFault::Huge)
            csBody += "<!--" + std::string(10 * 1024 * 1024, '-') + "-->\r\n";
    } else if (options.eFault != EFault::NotFound && csMethod == "POST" &&
               csPath == "/control/print") {
        const std::string csReturn =
            options.eFault == EFault::NoReturn
                ? ""
                : "<return>" + std::to_string(options.uiConfig) + "</return>";
        csBody = "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                 "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n"
                 "<s:Body><u:QueryStateVariableResponse "
                 "xmlns:u=\"urn:schemas-upnp-org:control-1-0\">" +
                 csReturn + "</u:QueryStateVariableResponse></s:Body></s:Envelope>\r\n";
    } else {
        return "HTTP/1.1 404 Not Found\r\nCONTENT-LENGTH: 0\r\nCONNECTION: close\r\n\r\n";
    }
    return "HTTP/1.1 200 OK\r\nCONTENT-TYPE: text/xml; charset=\"utf-8\"\r\nCONTENT-LENGTH: " +
           std::to_string(csBody.size()) + "\r\nCONNECTION: close\r\n\r\n" + csBody;
}

} // namespace sim
