// The naming rules and the model check of CVexData: whether the installed driver
// package supports a model, free names for a new queue, its port and its share,
// and the version of the installed driver package.
#include "common/VexData.h"

#include "common/DataValidation.h"
#include "common/Trace.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

using namespace platform;

namespace {

enum class EReadResult { Ok, OpenFailed, ReadFailed };

// Reads a whole file into *pcsData. The file is opened as the programs of the
// system open files for reading: a file being written elsewhere cannot be
// opened. A read error keeps what was read before it and leaves its number in
// *pdwError.
EReadResult ReadWholeFile(const std::string& csPath, std::string* pcsData, uint32_t* pdwError) {
    pcsData->clear();
    File file;
    if (!file.OpenForRead(csPath))
        return EReadResult::OpenFailed;
    // Read straight into the text, with room for one more piece so that the
    // end of the file (or its growth) shows without a second buffer.
    uint64_t qwSize = 0;
    file.GetSize(&qwSize);
    size_t filled = 0;
    pcsData->resize(size_t(qwSize) + 4096);
    for (;;) {
        if (filled == pcsData->size())
            pcsData->resize(filled + 65536);
        size_t read = 0;
        if (!file.Read(pcsData->data() + filled, pcsData->size() - filled, &read)) {
            *pdwError = GetLastError();
            pcsData->resize(filled);
            return EReadResult::ReadFailed;
        }
        if (read == 0)
            break;
        filled += read;
    }
    pcsData->resize(filled);
    return EReadResult::Ok;
}

// A text that begins with a UTF-16 byte-order mark (FF FE little-endian, FE FF
// big-endian) is turned into the system's 8-bit code page; any other text is
// left as it is.
void ConvertUtf16ToAnsi(std::string* pcsText) {
    const std::string& in = *pcsText;
    if (in.size() < 2)
        return;
    const auto b0 = uint8_t(in[0]), b1 = uint8_t(in[1]);
    bool bLittle = b0 == 0xFF && b1 == 0xFE;
    if (!bLittle && !(b0 == 0xFE && b1 == 0xFF))
        return;
    std::u16string wide((in.size() - 2) / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        auto first = uint8_t(in[2 + 2 * i]), second = uint8_t(in[3 + 2 * i]);
        wide[i] = bLittle ? char16_t(first | (second << 8)) : char16_t(second | (first << 8));
    }
    *pcsText = Utf16ToAnsi(wide.data(), wide.size());
}

// The .inf files of a driver folder in the order of the search.
bool FindInfFiles(const std::string& csFolder, std::vector<FindData>* pFiles) {
    return FindFiles(csFolder + "*.inf", pFiles);
}

// The numbered candidates of a queue or port name: " (2)" after the name, then
// the number in the parentheses counted up to 99.
std::string NumberedName(const std::string& csFirst,
                         const std::function<bool(const std::string&)>& isFree) {
    std::string csCandidate = csFirst;
    if (isFree(csCandidate))
        return csCandidate;
    csCandidate += " (2)";
    for (int i = 3;; ++i) {
        if (isFree(csCandidate) || i >= 100)
            break;
        // Only the number and its closing parenthesis go: the opening one stops
        // the stripping, so digits of the name itself stay.
        size_t keep = csCandidate.find_last_not_of(")1234567890");
        csCandidate.erase(keep == std::string::npos ? 0 : keep + 1);
        csCandidate += std::to_string(i) + ")";
    }
    return csCandidate;
}

// The last two characters of a text, whole characters of the UTF-8 code page.
std::string LastTwoCharacters(const std::string& csText) {
    size_t start = csText.size();
    for (int count = 0; count < 2 && start > 0;) {
        --start;
        if ((static_cast<unsigned char>(csText[start]) & 0xC0) != 0x80)
            ++count;
    }
    return csText.substr(start);
}

} // namespace

bool CVexData::IsModelSupported(const std::string& csPrinterModel, eDriverType eType) {
    CTraceScope scope("CVexData::IsModelSupported/2");
    scope.Det("parameters (csPrinterModel=%s, eDriverType=%d)", csPrinterModel.c_str(), int(eType));
    std::string csFolder = GetDriverPath(GetOs(), eType);
    // The quotes keep "Laser PCL" from matching inside "Laser PCL6".
    std::string csSearch = "\"" + GetDriverName(csPrinterModel, eType) + "\"";

    std::vector<FindData> files;
    if (!FindInfFiles(csFolder, &files)) {
        scope.Wrn("No .inf files in driver path %s", csFolder.c_str());
        scope.Result("false");
        return false;
    }
    std::boyer_moore_horspool_searcher searcher(csSearch.begin(), csSearch.end());
    std::string csText;
    bool bFound = false;
    for (const FindData& file : files) {
        std::string csPath = csFolder + file.csName;
        uint32_t dwError = 0;
        EReadResult result = (file.dwAttributes & FILE_ATTRIBUTE_DIRECTORY)
                                 ? EReadResult::OpenFailed
                                 : ReadWholeFile(csPath, &csText, &dwError);
        if (result == EReadResult::OpenFailed) {
            scope.Err("Failed to open file %s", csPath.c_str());
            continue;
        }
        if (result == EReadResult::ReadFailed)
            scope.Err("File exception occurred: %d", int(dwError));
        ConvertUtf16ToAnsi(&csText);
        if (std::search(csText.begin(), csText.end(), searcher) != csText.end()) {
            bFound = true;
            break;
        }
    }
    scope.Result("%s", bFound ? "true" : "false");
    return bFound;
}

bool CVexData::IsModelSupported(const std::string& csPrinterModel) {
    CTraceScope scope("CVexData::IsModelSupported/1");
    bool bSupported = IsModelSupported(csPrinterModel, eDriverPcl6) ||
                      IsModelSupported(csPrinterModel, eDriverPcl5) ||
                      IsModelSupported(csPrinterModel, eDriverPostScript);
    scope.Result("%s", bSupported ? "true" : "false");
    return bSupported;
}

std::string CVexData::GetDriverVer(eDriverType eType) {
    CTraceScope scope("CVexData::GetDriverVer");
    std::string csFolder = GetDriverPath(GetOs(), eType);
    std::vector<FindData> files;
    std::string csVersion;
    if (FindInfFiles(csFolder, &files)) {
        std::string csText;
        for (const FindData& file : files) {
            if (file.dwAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            std::string csPath = csFolder + file.csName;
            uint32_t dwError = 0;
            EReadResult result = ReadWholeFile(csPath, &csText, &dwError);
            if (result == EReadResult::OpenFailed) {
                // A file that cannot be opened ends the search: the package is
                // being replaced or damaged, and an older file must not answer.
                scope.Err("Failed to open file %s", csPath.c_str());
                csVersion.clear();
                break;
            }
            if (result == EReadResult::ReadFailed)
                scope.Err("File exception occurred: %d", int(dwError));
            ConvertUtf16ToAnsi(&csText);
            size_t key = csText.find("DriverVer=");
            if (key == std::string::npos)
                continue;
            // The version is the part after the date, on the same line: a comma
            // on a later line belongs to another entry.
            size_t lineEnd = csText.find_first_of("\r\n", key);
            if (lineEnd == std::string::npos)
                lineEnd = csText.size();
            size_t comma = csText.find(',', key);
            if (comma == std::string::npos || comma > lineEnd)
                continue;
            csVersion = csText.substr(comma + 1, lineEnd - comma - 1);
            break;
        }
    }
    scope.Result("%s", csVersion.c_str());
    return csVersion;
}

std::string CVexData::GetIconName(const std::string& csPrtModel) {
    CTraceScope scope("CVexData::GetIconName");
    scope.Det("parameters (csPrtModel=%s)", csPrtModel.c_str());
    std::string csName = NumberedName(csPrtModel, [](const std::string& csCandidate) {
        return CDataValidation().IsIconNameValid(csCandidate, "") == eValidOk;
    });
    scope.Result("%s", csName.c_str());
    return csName;
}

std::string CVexData::GetPortName(const std::string& csPortAddress) {
    CTraceScope scope("CVexData::GetPortName");
    scope.Det("parameters (csPortAddress=%s)", csPortAddress.c_str());
    std::string csName =
        NumberedName("ZANTOR:" + csPortAddress, [](const std::string& csCandidate) {
            return CDataValidation().IsPortNameValid(csCandidate) == eValidOk;
        });
    scope.Result("%s", csName.c_str());
    return csName;
}

std::string CVexData::GetShareName(const std::string& csPrtModel, const std::string& csIpAddr) {
    CTraceScope scope("CVexData::GetShareName");
    scope.Det("parameters (csPrtModel=%s, csIpAddr=%s)", csPrtModel.c_str(), csIpAddr.c_str());
    std::string csModelTail = LastTwoCharacters(csPrtModel);
    size_t dot = csIpAddr.rfind('.');
    std::string csAddressTail = dot == std::string::npos ? csIpAddr : csIpAddr.substr(dot + 1);
    std::string csName = "IP" + csModelTail + "_" + csAddressTail;
    for (int i = 2;; ++i) {
        if (CDataValidation().IsShareNameValid(csName, "") == eValidOk || i >= 100)
            break;
        csName = std::to_string(i) + "_IP" + csModelTail;
    }
    scope.Result("%s", csName.c_str());
    return csName;
}
