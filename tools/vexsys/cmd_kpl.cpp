// vexsys kpl: prints the records of a known printer list file in their one-line
// form, or says where and why the file is damaged.
#include "Command.h"

#include "common/Archive.h"
#include "common/Printer.h"
#include "platform/error.h"
#include "platform/files.h"

#include <cstdio>
#include <fstream>

namespace {

std::string Where(uint64_t qwOffset) {
    return "damaged at byte " + std::to_string(qwOffset);
}

// The version field of the record at qwOffset, read again from the file.
std::string VersionAt(const std::string& csPath, uint64_t qwOffset) {
    std::ifstream in(csPath, std::ios::binary);
    unsigned char b[4] = {};
    if (!in.seekg(std::streamoff(qwOffset)) || !in.read(reinterpret_cast<char*>(b), 4))
        return "?";
    return std::to_string(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                          uint32_t(b[3]) << 24);
}

} // namespace

VEXSYS_COMMAND(kpl, "kpl",
               "kpl FILE                      print the records of a known printer list file") {
    using namespace vexsys;
    if (args.size() != 1)
        return UsageError("usage: kpl FILE");
    const std::string& csPath = args[0];
    platform::File file;
    if (!file.OpenForRead(csPath)) {
        uint32_t dwError = platform::GetLastError();
        return Failure(csPath + ": cannot open: error " + std::to_string(dwError) + " (" +
                       platform::ErrorText(dwError) + ")");
    }
    uint64_t qwSize = 0;
    if (file.GetSize(&qwSize) && qwSize == 0)
        return Failure(csPath + ": empty (0 bytes): the programs read the \".copy\" file instead");

    CArchive ar(file, CArchive::eLoad);
    int32_t iCount = 0;
    if (!ar.Read(iCount))
        return Failure(csPath + ": " + Where(ar.GetErrorPosition()) +
                       ", in the record count: " + ar.DescribeError());
    if (iCount < 0)
        return Failure(csPath + ": " + Where(0) + ": the record count " + std::to_string(iCount) +
                       " is below 0");
    for (int32_t i = 0; i < iCount; ++i) {
        uint64_t qwStart = ar.GetPosition();
        CPrinter printer;
        if (!printer.Serialize(ar)) {
            // A bad version is the record's first field, not where reading stopped.
            bool bBadVersion = ar.GetError() == CArchive::eErrBadVersion;
            std::string where = Where(bBadVersion ? qwStart : ar.GetErrorPosition()) +
                                ", in record " + std::to_string(i + 1) + " of " +
                                std::to_string(iCount) + " (starting at byte " +
                                std::to_string(qwStart) + "): ";
            if (bBadVersion)
                return Failure(csPath + ": " + where + "version " + VersionAt(csPath, qwStart) +
                               ", only version 0 is known");
            return Failure(csPath + ": " + where + ar.DescribeError());
        }
        std::printf("%s\n", printer.Describe(1).c_str());
    }
    uint64_t qwEnd = ar.GetPosition();
    if (!ar.AtEnd()) {
        if (!ar.Good())
            return Failure(csPath + ": " + Where(qwEnd) + ": " + ar.DescribeError());
        return Failure(csPath + ": " + Where(qwEnd) + ": " +
                       (qwSize > qwEnd ? std::to_string(qwSize - qwEnd) : std::string("some")) +
                       " bytes follow the last of " + std::to_string(iCount) + " records");
    }
    return 0;
}
