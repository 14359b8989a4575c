// The user's default printer on CUPS: the "Default" line of the user's own
// lpoptions file (~/.cups/lpoptions), which CUPS's clients (lp, lpstat -d)
// take as theirs.
#include "internal/spooler_cups.h"

#include "platform/error.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace platform::posix::spooler {

namespace {

std::string OptionsFile() {
    const char* home = std::getenv("HOME");
    std::string folder = home && *home ? home : "";
    if (folder.empty()) {
        const passwd* entry = ::getpwuid(::getuid());
        folder = entry && entry->pw_dir ? entry->pw_dir : "";
    }
    return folder.empty() ? "" : folder + "/.cups/lpoptions";
}

std::vector<std::string> ReadLines(const std::string& csFile) {
    std::vector<std::string> lines;
    std::ifstream in(csFile);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

std::string CupsUserDefault() {
    for (const std::string& line : ReadLines(OptionsFile())) {
        if (line.rfind("Default ", 0) != 0)
            continue;
        std::string name = line.substr(8, line.find_first_of(" /", 8) - 8);
        return CupsPrinterName(name);
    }
    return "";
}

bool CupsSetUserDefault(const std::string& csPrinterName) {
    const std::string file = OptionsFile();
    if (file.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    std::string text;
    if (!csPrinterName.empty())
        text = "Default " + CupsQueueName(csPrinterName) + "\n";
    for (const std::string& line : ReadLines(file)) {
        // The old default's own options stay with it.
        if (line.rfind("Default ", 0) == 0) {
            if (line.find(' ', 8) != std::string::npos)
                text += "Dest " + line.substr(8) + "\n";
            continue;
        }
        text += line + "\n";
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    const std::string temp = file + ".new";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << text;
        if (!out.flush())
            return Fail(ERROR_WRITE_FAULT);
    }
    std::filesystem::rename(temp, file, ec);
    return !ec || Fail(ERROR_WRITE_FAULT);
}

} // namespace platform::posix::spooler
