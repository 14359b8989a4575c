#include "LiveService.h"

#include "TestService.h"
#include "common/PipeMessage.h"
#include "common/Printers.h"
#include "common/Trace.h"
#include "common/VexData.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace vextest {

namespace {
bool Has(const std::vector<std::string>& args, const char* pszOption) {
    return std::find(args.begin(), args.end(), pszOption) != args.end();
}
} // namespace

CLiveService::CLiveService(int iOpMode, int iDelayPercent) {
    if (!EnterPrivateNetwork(&m_csError))
        return;
    // The machine joins the namespace: the port monitor in its Spooler must
    // reach the simulated printers.
    m_pMachine = std::make_unique<CCreationMachine>();
    if (!m_pMachine->Ready()) {
        m_csError = "the machine could not be laid (package, spooler)";
        return;
    }
    // The machine puts the variable back as it was when it ends.
    ::setenv("VEX_DELAY_PERCENT", std::to_string(iDelayPercent).c_str(), 1);
    Root().EnableTrace(eExeService, TRACE_ERR | TRACE_WRN | TRACE_INF);
    CVexData data;
    if (!data.SetOpMode(eMode(iOpMode)) || !data.AddNumData(CVexData::kMainKey, "Language", 1))
        m_csError = "the settings could not be written";
}

CLiveService::~CLiveService() {
    for (auto& pSim : m_sims) {
        pSim->Terminate(0);
        pSim->Wait();
    }
    // The root's end stops the service and the spooler.
    m_pMachine.reset();
}

bool CLiveService::Install() {
    std::string csOutput;
    return RunProgram(ProgramPath("vexsrv"), {"-install"}, &csOutput) == 0;
}

bool CLiveService::Start() {
    std::string csOutput;
    if (State() == 0 && !Install())
        return false;
    return RunProgram(ProgramPath("vexsrv"), {"-start"}, &csOutput) == 0 && WaitUntilListening();
}

bool CLiveService::WaitUntilListening() {
    // The service restarts the spooler once its workers run; its main loop
    // begins when the spooler is back. A printer created meanwhile would meet
    // the spooler down.
    return WaitFor([this] {
        return ServiceTraceHas("(CListenThread::Listen)Listening on port 1900") &&
               ServiceTraceHas("(CMainThread::Run)main thread loop #0") &&
               PipeOffered(kGtosPipeName, platform::PipeAccess::EveryLocalUser);
    });
}

bool CLiveService::Stop() {
    std::string csOutput;
    RunProgram(ProgramPath("vexsys"), {"service", "stop", kServiceName}, &csOutput);
    return WaitFor([this] { return State() == 1; }); // SERVICE_STOPPED
}

unsigned CLiveService::State() const {
    return ServiceState(kServiceName);
}

bool CLiveService::StartPrinters(std::vector<std::string> args) {
    const size_t i = m_sims.size();
    const std::string csReady = Root().Path() + "/sim" + std::to_string(i) + ".ready";
    args.insert(args.end(), {"--ready", csReady});
    if (!Has(args, "--http-port"))
        args.insert(args.end(), {"--http-port", std::to_string(18100 + i)});
    if (!Has(args, "--print-port"))
        args.insert(args.end(), {"--print-port", std::to_string(9200 + i)});
    std::string csLine = platform::QuoteArgument(ProgramPath("printer-sim"));
    for (const std::string& csArg : args)
        csLine += " " + platform::QuoteArgument(csArg);
    m_sims.push_back(std::make_unique<platform::Process>());
    return m_sims.back()->Start(csLine) && WaitFor([&] { return std::ifstream(csReady).good(); });
}

std::string CLiveService::KplPath() {
    return Root().WorkDir() + "vexkpl.dat";
}

std::vector<CPrinter> CLiveService::Listed() {
    CPrinters list;
    list.SetKplPath(KplPath());
    std::vector<CPrinter> printers;
    if (!list.Read())
        return printers;
    list.ForEach([&](const CPrinter& printer) { printers.push_back(printer); });
    return printers;
}

CPrinter CLiveService::ListedUuid(const std::string& csUUID) {
    for (const CPrinter& printer : Listed())
        if (printer.m_csUUID == csUUID)
            return printer;
    return CPrinter();
}

bool CLiveService::ServiceTraceHas(const std::string& csText) {
    return ReadFile(Root().WorkDir() + "vexsrv.log").find(csText) != std::string::npos;
}

std::string CLiveService::Complaints() {
    std::string csLines;
    for (const std::string& csLine : Lines(ReadFile(Root().WorkDir() + "vexsrv.log")))
        if (csLine.find(" ERR ") != std::string::npos || csLine.find(" WRN ") != std::string::npos)
            csLines += csLine + "\n";
    return csLines;
}

} // namespace vextest
