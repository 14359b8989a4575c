// The command pipe's messages: building and sending them (GUI), parsing them
// (service), and reading the service's answers (GUI).
#include "common/GtosPipeComm.h"

#include "common/PipeMessage.h"
#include "common/Printer.h"
#include "common/Trace.h"
#include "platform/error.h"

#include <cerrno>
#include <cstdlib>

namespace {

const char kNone[] = "<none>";
// Handling of an installed driver (eUseExisting) and driver types, by number.
const char* const kHandlingWords[] = {"Use existing", "Replace", "If newer"};
const char* const kDriverWords[] = {"PCL6", "PCL5", "PS"};

const char* BoolWord(bool bValue) {
    return bValue ? "TRUE" : "FALSE";
}

bool ParseBool(const std::string& csLine, bool* pbValue) {
    if (csLine != "TRUE" && csLine != "FALSE")
        return false;
    *pbValue = csLine == "TRUE";
    return true;
}

// The number of csLine in the word list, or -1.
int WordIndex(const std::string& csLine, const char* const* ppszWords, int nWords) {
    for (int i = 0; i < nWords; ++i) {
        if (csLine == ppszWords[i])
            return i;
    }
    return -1;
}

bool ParseWord(const std::string& csLine, const char* const* ppszWords, int32_t* peValue) {
    int i = WordIndex(csLine, ppszWords, 3);
    if (i < 0)
        return false;
    *peValue = i;
    return true;
}

// A whole text in decimal, within the type's range.
bool ParseDecimal(const std::string& csText, bool bSigned, long long llMin, long long llMax,
                  long long* pllValue) {
    size_t nDigits = bSigned && !csText.empty() && csText[0] == '-' ? 1 : 0;
    if (csText.size() == nDigits || csText.size() > 12)
        return false;
    for (size_t i = nDigits; i < csText.size(); ++i) {
        if (csText[i] < '0' || csText[i] > '9')
            return false;
    }
    long long llValue = std::strtoll(csText.c_str(), nullptr, 10);
    if (llValue < llMin || llValue > llMax)
        return false;
    *pllValue = llValue;
    return true;
}

// A text parameter that is "<none>" when empty.
std::string TextOrNone(const std::string& csText) {
    return csText.empty() ? std::string(kNone) : EncodePipeField(csText);
}

std::string TextFromNone(const std::string& csLine) {
    return csLine == kNone ? std::string() : DecodePipeField(csLine);
}

} // namespace

CGtosPipeComm::CGtosPipeComm()
    : m_eNewState(0),
      // No answer yet: a failure, so that a lost exchange never reads as success.
      m_iRc(1), m_uiWarnings(0), m_bUnknownAnswer(false), m_hPipe(platform::INVALID_PIPE_HANDLE) {}

CGtosPipeComm::~CGtosPipeComm() {
    ClosePipeHandle();
}

void CGtosPipeComm::ClosePipeHandle() {
    if (m_hPipe != platform::INVALID_PIPE_HANDLE)
        platform::ClosePipe(m_hPipe);
    m_hPipe = platform::INVALID_PIPE_HANDLE;
}

std::string CGtosPipeComm::ErrorHandling(const std::string& csErrMsg) {
    return PipeErrorHandling("CGtosPipeComm", csErrMsg);
}

bool CGtosPipeComm::InitializeGuiEndOfPipe() {
    CTraceScope scope("CGtosPipeComm::InitializeGuiEndOfPipe");
    ClosePipeHandle();
    m_hPipe = OpenPipeClient(kGtosPipeName, kCommandPipeBusyWaitMs);
    if (m_hPipe == platform::INVALID_PIPE_HANDLE) {
        TraceErr("%s", ErrorHandling(scope.Prefixed("CreateFile failed")).c_str());
        scope.Result(false);
        return false;
    }
    if (!platform::SetNamedPipeHandleState(m_hPipe, platform::PIPE_READMODE_MESSAGE)) {
        TraceErr("%s", ErrorHandling(scope.Prefixed("SetNamedPipeHandleState failed")).c_str());
        ClosePipeHandle();
        scope.Result(false);
        return false;
    }
    // A service that never answers must not hang the GUI.
    platform::SetPipeReadTimeout(m_hPipe, kCommandAnswerWaitMs);
    scope.Result(true);
    return true;
}

bool CGtosPipeComm::SendCmdToService(const std::string& csData) {
    CTraceScope scope("CGtosPipeComm::SendCmdToService");
    scope.Det("parameters (csData=\n%s)", IndentPipeText(csData).c_str());
    bool bOk = false;
    std::string csAnswer;
    if (!WritePipeMessage(m_hPipe, csData)) {
        TraceErr("%s", ErrorHandling(scope.Prefixed("WriteFile failed")).c_str());
    } else if (!ReadPipeMessage(m_hPipe, &csAnswer)) {
        TraceErr("%s", ErrorHandling(scope.Prefixed("ReadFile failed")).c_str());
    } else {
        bOk = ParseResultFromService(csAnswer);
        if (!bOk)
            scope.Err("Command execution failed in server");
        // Ends the connection on the service's side; its outcome changes nothing.
        WritePipeMessage(m_hPipe, kCmdQuit);
    }
    ClosePipeHandle();
    scope.Result(bOk);
    return bOk;
}

bool CGtosPipeComm::SendPrinterCmd(const char* pszRoutine, const char* pszWord,
                                   const CPrinter* pPrinter, const std::string& csTail,
                                   const std::string& csTraceTail) {
    CTraceScope scope(pszRoutine);
    if (!pPrinter) {
        scope.Err("No printer given");
        platform::SetLastError(platform::ERROR_INVALID_PARAMETER);
        scope.Result(false);
        return false;
    }
    scope.Det("parameters (pPrinter->m_csIpAddr=%s) (pPrinter->m_csUUID=%s)%s",
              pPrinter->m_csIpAddr.c_str(), pPrinter->m_csUUID.c_str(), csTraceTail.c_str());
    bool bOk =
        InitializeGuiEndOfPipe() && SendCmdToService(std::string(pszWord) + "\n" +
                                                     EncodePipeField(pPrinter->m_csUUID) + csTail);
    scope.Result(bOk);
    return bOk;
}

bool CGtosPipeComm::SendIgnorePrinterCmdToService(const CPrinter* pPrinter) {
    return SendPrinterCmd("CGtosPipeComm::SendIgnorePrinterCmdToService", kCmdIgnore, pPrinter, "");
}

bool CGtosPipeComm::SendRemovePrinterCmdToService(const CPrinter* pPrinter) {
    return SendPrinterCmd("CGtosPipeComm::SendRemovePrinterCmdToService", kCmdRemove, pPrinter, "");
}

bool CGtosPipeComm::SendRestorePrinterCmdToService(const CPrinter* pPrinter) {
    return SendPrinterCmd("CGtosPipeComm::SendRestorePrinterCmdToService", kCmdRestore, pPrinter,
                          "");
}

bool CGtosPipeComm::SendAddIconWithDefaultsCmdToService(const CPrinter* pPrinter) {
    m_iRc = 1;
    m_uiWarnings = 0;
    return SendPrinterCmd("CGtosPipeComm::SendAddIconWithDefaultsCmdToService", kCmdAddIconDefaults,
                          pPrinter, "");
}

bool CGtosPipeComm::SendChangeStateCmdToService(const CPrinter* pPrinter, int32_t eNewState) {
    return SendPrinterCmd("CGtosPipeComm::SendChangeStateCmdToService", kCmdChangeState, pPrinter,
                          "\n" + std::to_string(eNewState),
                          " (eNewState=" + std::to_string(eNewState) + ")");
}

bool CGtosPipeComm::SendDiscoverPrintersCmdToService() {
    CTraceScope scope("CGtosPipeComm::SendDiscoverPrintersCmdToService");
    bool bOk = InitializeGuiEndOfPipe() && SendCmdToService(kCmdDiscover);
    scope.Result(bOk);
    return bOk;
}

bool CGtosPipeComm::SendUpdateIconsCmdToService(const CPrinter* pPrinter) {
    m_bUnknownAnswer = false;
    if (!pPrinter)
        return SendPrinterCmd("CGtosPipeComm::SendUpdateIconsCmdToService", kCmdUpdateIcons,
                              pPrinter, "");
    return SendPrinterCmd(
        "CGtosPipeComm::SendUpdateIconsCmdToService", kCmdUpdateIcons, pPrinter,
        "\n" + TextOrNone(pPrinter->m_csIconName) + "\n" + std::to_string(pPrinter->m_VexState),
        " (pPrinter->m_csIconName=" + pPrinter->m_csIconName +
            ") (pPrinter->m_VexState=" + std::to_string(pPrinter->m_VexState) + ")");
}

bool CGtosPipeComm::BuildAddIconCmd(const std::string& csUUID, const SIconInfo& IconInfo,
                                    std::string* pcsData) {
    auto inRange = [](int32_t iValue) { return iValue >= 0 && iValue <= 2; };
    if (!inRange(IconInfo.eDriverType) || !inRange(IconInfo.eUseExisting) ||
        !inRange(IconInfo.eUseExistingAddl))
        return false;
    // Not shared: neither published nor carrying a share name.
    const std::string lines[] = {
        kCmdAddIcon,
        EncodePipeField(csUUID),
        BoolWord(IconInfo.bInstallAddl),
        BoolWord(IconInfo.bShare && IconInfo.bPublish),
        BoolWord(IconInfo.bShare),
        kHandlingWords[IconInfo.eUseExisting],
        kHandlingWords[IconInfo.eUseExistingAddl],
        TextOrNone(IconInfo.csComments),
        EncodePipeField(IconInfo.csIconName),
        TextOrNone(IconInfo.csLocation),
        EncodePipeField(IconInfo.csPortName),
        TextOrNone(IconInfo.csSepPage),
        IconInfo.bShare ? EncodePipeField(IconInfo.csShareName) : std::string(),
        kDriverWords[IconInfo.eDriverType],
    };
    pcsData->clear();
    for (const std::string& csLine : lines) {
        if (!pcsData->empty())
            *pcsData += '\n';
        *pcsData += csLine;
    }
    return true;
}

bool CGtosPipeComm::SendAddIconCmdToService(const CPrinter* pPrinter, SIconInfo IconInfo) {
    CTraceScope scope("CGtosPipeComm::SendAddIconCmdToService");
    m_iRc = 1;
    m_uiWarnings = 0;
    if (!pPrinter) {
        scope.Err("No printer given");
        platform::SetLastError(platform::ERROR_INVALID_PARAMETER);
        scope.Result(false);
        return false;
    }
    scope.Det("parameters (pPrinter->m_csIpAddr=%s) "
              "(pPrinter->m_csUUID=%s)",
              pPrinter->m_csIpAddr.c_str(), pPrinter->m_csUUID.c_str());
    std::string csData;
    if (!BuildAddIconCmd(pPrinter->m_csUUID, IconInfo, &csData)) {
        scope.Err("Value not expressible on the pipe "
                  "(eDriverType=%d) (eUseExisting=%d) (eUseExistingAddl=%d)",
                  IconInfo.eDriverType, IconInfo.eUseExisting, IconInfo.eUseExistingAddl);
        platform::SetLastError(platform::ERROR_INVALID_PARAMETER);
        scope.Result(false);
        return false;
    }
    bool bOk = InitializeGuiEndOfPipe() && SendCmdToService(csData);
    scope.Result(bOk);
    return bOk;
}

bool CGtosPipeComm::ParseResultFromService(const std::string& csResult) {
    CTraceScope scope("CGtosPipeComm::ParseResultFromService");
    scope.Det("parameters (csResult=\n%s)", IndentPipeText(csResult).c_str());
    const size_t nLf = csResult.find('\n');
    const std::string csWord = csResult.substr(0, nLf);
    const std::string csRest = nLf == std::string::npos ? std::string() : csResult.substr(nLf + 1);
    bool bOk = false;
    m_bUnknownAnswer = csWord == kAnswerUnknown;
    if (csWord == kCmdChangeState || csWord == kCmdIgnore || csWord == kCmdRemove ||
        csWord == kCmdRestore || csWord == kCmdDiscover || csWord == kCmdUpdateIcons) {
        bOk = csRest == kAnswerSuccess;
    } else if (csWord == kCmdAddIcon || csWord == kCmdAddIconDefaults) {
        const size_t nSplit = csRest.find('\n');
        long long llRc = 0;
        long long llWarnings = 0;
        if (nSplit != std::string::npos &&
            ParseDecimal(csRest.substr(0, nSplit), true, INT32_MIN, INT32_MAX, &llRc) &&
            ParseDecimal(csRest.substr(nSplit + 1), false, 0, UINT32_MAX, &llWarnings)) {
            m_iRc = int32_t(llRc);
            m_uiWarnings = uint32_t(llWarnings);
            bOk = m_iRc == 0;
        }
    }
    scope.Result(bOk);
    return bOk;
}

EGtosCommand CGtosPipeComm::ParseCmdFromGui(const std::string& csData) {
    CTraceScope scope("CGtosPipeComm::ParseCmdFromGui");
    scope.Det("parameters (csData=\n%s)", IndentPipeText(csData).c_str());
    m_csUUID.clear();
    const size_t nLf = csData.find('\n');
    const std::string csWord = csData.substr(0, nLf);
    // Without a line feed the rest is the whole text: "Ignore" alone names the
    // printer "Ignore", which the list does not hold.
    const std::string csRest = nLf == std::string::npos ? csData : csData.substr(nLf + 1);
    EGtosCommand eCommand = eGtosUnknown;
    if (csWord == kCmdQuit) {
        eCommand = eGtosQuit;
    } else if (csWord == kCmdChangeState) {
        const size_t nSplit = csRest.find('\n');
        if (nSplit != std::string::npos) {
            m_csUUID = DecodePipeField(csRest.substr(0, nSplit));
            const std::string csState = csRest.substr(nSplit + 1);
            if (csState.size() == 1 && csState[0] >= '0' && csState[0] <= '9') {
                m_eNewState = csState[0] - '0';
                eCommand = eGtosChangeState;
            }
        }
    } else if (csWord == kCmdIgnore || csWord == kCmdRemove || csWord == kCmdRestore ||
               csWord == kCmdAddIconDefaults) {
        m_csUUID = DecodePipeField(csRest);
        eCommand = csWord == kCmdIgnore    ? eGtosIgnore
                   : csWord == kCmdRemove  ? eGtosRemove
                   : csWord == kCmdRestore ? eGtosRestore
                                           : eGtosAddIconDefaults;
    } else if (csWord == kCmdAddIcon) {
        eCommand = EGtosCommand(ParseAddIconCmdFromGui(csRest));
    } else if (csWord == kCmdDiscover) {
        eCommand = eGtosDiscover;
    } else if (csWord == kCmdUpdateIcons) {
        eCommand = ParseUpdateIconsCmd(csRest);
    }
    if (eCommand != eGtosUnknown && HoldsZeroByte(eCommand)) {
        // A text cut short at its zero byte would be checked in full but used
        // in part: the command is refused, and so answered as a failure.
        scope.Err("A parameter holds a zero byte: command refused");
        m_csUUID.clear();
        eCommand = eGtosUnknown;
    }
    scope.Result("%d", int(eCommand));
    return eCommand;
}

EGtosCommand CGtosPipeComm::ParseUpdateIconsCmd(const std::string& csRest) {
    m_csIconNames.clear();
    const size_t nNames = csRest.find('\n');
    const size_t nState = nNames == std::string::npos ? nNames : csRest.find('\n', nNames + 1);
    if (nState == std::string::npos)
        return eGtosUnknown;
    long long llState = 0;
    if (!ParseDecimal(csRest.substr(nState + 1), true, INT32_MIN, INT32_MAX, &llState))
        return eGtosUnknown;
    m_csUUID = DecodePipeField(csRest.substr(0, nNames));
    m_csIconNames = TextFromNone(csRest.substr(nNames + 1, nState - nNames - 1));
    m_eNewState = int32_t(llState);
    return eGtosUpdateIcons;
}

bool CGtosPipeComm::HoldsZeroByte(EGtosCommand eCommand) const {
    auto zero = [](const std::string& csText) { return csText.find('\0') != std::string::npos; };
    if (zero(m_csUUID))
        return true;
    if (eCommand == eGtosUpdateIcons)
        return zero(m_csIconNames);
    return eCommand == eGtosAddIcon &&
           (zero(m_IconInfo.csComments) || zero(m_IconInfo.csIconName) ||
            zero(m_IconInfo.csLocation) || zero(m_IconInfo.csPortName) ||
            zero(m_IconInfo.csSepPage) || zero(m_IconInfo.csShareName));
}

int CGtosPipeComm::ParseAddIconCmdFromGui(const std::string& csData) {
    CTraceScope scope("CGtosPipeComm::ParseAddIconCmdFromGui");
    scope.Det("parameters (csData=\n%s)", IndentPipeText(csData).c_str());
    size_t nPos = 0;
    // The next line up to its line feed; the last one runs to the end of the text.
    auto next = [&](std::string* pcsLine, bool bLast = false) {
        const size_t nLf = bLast ? std::string::npos : csData.find('\n', nPos);
        if (!bLast && nLf == std::string::npos)
            return false;
        *pcsLine = csData.substr(nPos, nLf == std::string::npos ? std::string::npos : nLf - nPos);
        nPos = nLf == std::string::npos ? csData.size() : nLf + 1;
        return true;
    };
    std::string csLine;
    auto parse = [&] {
        if (!next(&csLine))
            return false;
        m_csUUID = m_IconInfo.csUUID = DecodePipeField(csLine);
        if (!next(&csLine) || !ParseBool(csLine, &m_IconInfo.bInstallAddl))
            return false;
        if (!next(&csLine) || !ParseBool(csLine, &m_IconInfo.bPublish))
            return false;
        if (!next(&csLine) || !ParseBool(csLine, &m_IconInfo.bShare))
            return false;
        if (!next(&csLine) || !ParseWord(csLine, kHandlingWords, &m_IconInfo.eUseExisting))
            return false;
        if (!next(&csLine) || !ParseWord(csLine, kHandlingWords, &m_IconInfo.eUseExistingAddl))
            return false;
        std::string* const texts[] = {&m_IconInfo.csComments, &m_IconInfo.csIconName,
                                      &m_IconInfo.csLocation, &m_IconInfo.csPortName,
                                      &m_IconInfo.csSepPage,  &m_IconInfo.csShareName};
        for (size_t i = 0; i < 6; ++i) {
            if (!next(&csLine))
                return false;
            // Comments, location and separator page say "<none>" when empty.
            *texts[i] = i % 2 == 0 ? TextFromNone(csLine) : DecodePipeField(csLine);
        }
        return next(&csLine, true) && ParseWord(csLine, kDriverWords, &m_IconInfo.eDriverType);
    };
    bool bOk = parse();
    if (bOk && HoldsZeroByte(eGtosAddIcon)) {
        scope.Err("A parameter holds a zero byte: command "
                  "refused");
        bOk = false;
    }
    const int iResult = bOk ? eGtosAddIcon : eGtosUnknown;
    scope.Result("%d", iResult);
    return iResult;
}
