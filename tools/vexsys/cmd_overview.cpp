// vexsys overview: the known printers of the list file beside the queues the
// spooler holds for them, as one table to read at a glance.
#include "Command.h"
#include "SpoolerRead.h"

#include "common/Printers.h"
#include "common/VexData.h"
#include "platform/spooler.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using Row = std::vector<std::string>;

// The state as the GUI's groups name it.
std::string StateText(int32_t iState) {
    switch (iState) {
    case eVexWaiting:
        return "awaiting user action";
    case eVexAdded:
        return "printer created";
    case eVexIgnore:
        return "ignored by user";
    case eVexAddError:
        return "error creating printer";
    case eVexUnsupported:
        return "unsupported printer model";
    default:
        return std::string(CPrinter::StateWord(iState)) + " (" + std::to_string(iState) + ")";
    }
}

// The entries of a ", "-joined list of queue names.
std::vector<std::string> SplitNames(const std::string& csNames) {
    std::vector<std::string> names;
    for (size_t nStart = 0; !csNames.empty();) {
        const size_t nEnd = csNames.find(", ", nStart);
        names.push_back(csNames.substr(nStart, nEnd - nStart));
        if (nEnd == std::string::npos)
            break;
        nStart = nEnd + 2;
    }
    return names;
}

void PrintTable(const std::vector<Row>& rows) {
    std::vector<size_t> widths;
    for (const Row& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    for (const Row& row : rows) {
        std::string csLine;
        for (size_t i = 0; i < row.size(); ++i)
            csLine += i + 1 < row.size() ? row[i] + std::string(widths[i] - row[i].size() + 2, ' ')
                                         : row[i];
        std::printf("%s\n", csLine.c_str());
    }
}

} // namespace

VEXSYS_COMMAND(overview, "overview",
               "overview [KPLFILE]            the known printers with their queues and ports\n"
               "                              (default: the list file of the working directory)") {
    using namespace vexsys;
    if (args.size() > 1)
        return UsageError("usage: overview [KPLFILE]");
    std::string csPath;
    if (args.empty()) {
        CVexData data;
        csPath = data.GetWorkingDir() + data.GetKplFile();
    } else {
        csPath = args[0];
    }
    CPrinters printers;
    printers.SetKplPath(csPath);
    if (!printers.Read())
        return Failure(csPath + ": cannot read the known printer list (vexsys kpl tells why)");

    // Queue name -> its level-2 record, while the spooler answers.
    std::vector<uint64_t> storage;
    std::vector<platform::PRINTER_INFO_2> queues;
    const bool bSpooler = ReadAll<platform::PRINTER_INFO_2>(
        [](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) {
            return platform::EnumPrinters(platform::PRINTER_ENUM_LOCAL, 2, p, cb, n, r);
        },
        &storage, &queues);
    std::map<std::string, const platform::PRINTER_INFO_2*> byName;
    for (const platform::PRINTER_INFO_2& queue : queues)
        byName[queue.pPrinterName] = &queue;

    std::vector<Row> rows = {{"STATE", "MODEL", "ADDRESS", "QUEUE", "PORT", "DRIVER", "UUID"}};
    printers.ForEach([&](const CPrinter& printer) {
        const std::string csAddress =
            printer.m_csHostName.empty() ? printer.m_csIpAddr : printer.m_csHostName;
        Row row = {StateText(printer.m_VexState), printer.m_csPrinterModel, csAddress};
        const std::vector<std::string> names = SplitNames(printer.m_csIconName);
        if (names.empty()) {
            Row line = row;
            line.insert(line.end(), {"-", "-", "-", printer.m_csUUID});
            rows.push_back(line);
        }
        for (const std::string& csName : names) {
            Row line = row;
            line.push_back(csName);
            auto it = byName.find(csName);
            if (!bSpooler)
                line.insert(line.end(), {"(spooler not running)", ""});
            else if (it == byName.end())
                line.insert(line.end(), {"(no such queue)", ""});
            else
                line.insert(line.end(), {it->second->pPortName, it->second->pDriverName});
            line.push_back(printer.m_csUUID);
            rows.push_back(line);
        }
    });
    std::printf("Known printers in %s: %d\n", csPath.c_str(), printers.GetCount());
    PrintTable(rows);
    return 0;
}
