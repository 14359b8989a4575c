// samplepkg: lays a sample driver package into a working directory, as the
// product's installer would unpack it: one driver folder per system letter and
// driver letter with an .inf file naming the models and a driver installer
// "setup", and the port monitor folders with the monitor file
// "zantornpmon.dll", stamped with the package's monitor version, and its
// "monitor.inf"; and the readme "read.me" in the working directory itself.
//
// Each driver folder also holds what the system's spooler needs of its driver
// (SystemFiles.h): on the emulated machine, where CUPS's PPD compiler is
// installed, the PPD of its driver type ("zantor6.ppd", ...); on Windows the
// driver's files.
//
// The installer and the monitor are the stand-ins built beside this program
// (setup, zantornpmon.dll; setup.exe, zantornpmon.exe on Windows), unless
// others are given.
#include "SystemFiles.h"
#include "common/VexData.h"
#include "platform/files.h"
#include "platform/os.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    "usage: samplepkg [--workdir DIR] [--model NAME]... [--os LETTERS] [--drivers LETTERS]\n"
    "                 [--driver-ver TEXT] [--utf16] [--installer PATH] [--monitor PATH]\n"
    "                 [--monitor-version A.B.C.D] [--no-monitor]\n"
    "  Lays the sample driver package into DIR (default: the working directory of the\n"
    "  system root VEX_ROOT). System letters: 9 n 2 (default all); driver letters: 6 5 s\n"
    "  (default all). Default models: \"Zantor Pressa A\", \"Zantor Pressa B\", \"Laser 1332\".\n";

struct SOptions {
    std::string csWorkDir;
    std::vector<std::string> models;
    std::string csOsLetters = "9n2";
    std::string csDriverLetters = "65s";
    std::string csDriverVer = "05/01/2005,1.2.3.4";
    bool bUtf16 = false;
    std::string csInstaller;
    std::string csMonitor;
    uint32_t dwMonitorVersion[4] = {1, 0, 0, 0};
    bool bMonitor = true;
};

bool ParseVersion(const std::string& text, uint32_t version[4]) {
    unsigned a, b, c, d;
    char end;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &end) != 4 || a > 0xFFFF ||
        b > 0xFFFF || c > 0xFFFF || d > 0xFFFF)
        return false;
    version[0] = a;
    version[1] = b;
    version[2] = c;
    version[3] = d;
    return true;
}

eDriverType DriverTypeOf(char letter) {
    switch (letter) {
    case '6':
        return eDriverPcl6;
    case '5':
        return eDriverPcl5;
    default:
        return eDriverPostScript;
    }
}

const char* DriverSuffix(char letter) {
    switch (letter) {
    case '6':
        return "PCL6";
    case '5':
        return "PCL";
    default:
        return "PS";
    }
}

std::string InfText(const SOptions& options, char osLetter, char driverLetter) {
    const char* eol = "\r\n";
    CVexData data;
    std::string text;
    text += "; Sample driver package of the Zantor Ambrel tests and demo.";
    text += eol;
    text += "[Version]";
    text += eol;
    text += osLetter == '9' ? "Signature=\"$CHICAGO$\"" : "Signature=\"$Windows NT$\"";
    text += eol;
    text += "Class=Printer";
    text += eol;
    text += "Provider=%ZANTOR%";
    text += eol;
    text += "DriverVer=" + options.csDriverVer;
    text += eol;
    text += eol;
    text += "[Manufacturer]";
    text += eol;
    text += "%ZANTOR%=ZANTOR";
    text += eol;
    text += eol;
    text += "[ZANTOR]";
    text += eol;
    for (const std::string& model : options.models) {
        std::string name = data.GetDriverName(model, DriverTypeOf(driverLetter));
        std::string file = "ZA" + std::string(DriverSuffix(driverLetter)) + ".GPD";
        text += "\"" + name + "\" = " + file;
        text += eol;
    }
    text += eol;
    text += "[Strings]";
    text += eol;
    text += "ZANTOR=\"Zantor\"";
    text += eol;
    return text;
}

// UTF-16 little-endian with a byte-order mark, as some driver packages ship.
std::string ToUtf16(const std::string& text) {
    std::string out = "\xFF\xFE";
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        uint32_t cp = c;
        size_t len = 1;
        if (c >= 0xF0 && i + 3 < text.size()) {
            cp = ((c & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) |
                 ((text[i + 2] & 0x3Fu) << 6) | (text[i + 3] & 0x3Fu);
            len = 4;
        } else if (c >= 0xE0 && i + 2 < text.size()) {
            cp = ((c & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
            len = 3;
        } else if (c >= 0xC0 && i + 1 < text.size()) {
            cp = ((c & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
            len = 2;
        }
        i += len;
        auto put = [&](uint32_t unit) {
            out += char(unit & 0xFF);
            out += char(unit >> 8);
        };
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

// The readme of the package: what it holds and where to start.
std::string ReadmeText(const SOptions& options) {
    const char* eol = platform::LineEnding();
    std::string text = std::string("Zantor Ambrel - sample driver package") + eol + eol +
                       "Zantor Ambrel finds the network printers of Zantor Printing Systems and "
                       "creates print queues for them on this workstation." +
                       eol + eol + "Printer models of this package:" + eol;
    for (const std::string& model : options.models)
        text += "  " + model + eol;
    text += std::string(eol) +
            "Open Ambrel, choose a printer that awaits your action and press Enter to create "
            "a printer for it." +
            eol;
    return text;
}

bool WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "samplepkg: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

bool CopyProgram(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::permissions(to,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec,
                        ec);
    if (ec) {
        std::fprintf(stderr, "samplepkg: cannot copy %s to %s: %s\n", from.string().c_str(),
                     to.string().c_str(), ec.message().c_str());
        return false;
    }
    return true;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "samplepkg: %s\n%s", message.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (option == "--utf16") {
            options.bUtf16 = true;
            continue;
        }
        if (option == "--no-monitor") {
            options.bMonitor = false;
            continue;
        }
        if (i + 1 >= argc)
            return Usage("option " + option + " needs a value");
        std::string value = argv[++i];
        if (option == "--workdir") {
            options.csWorkDir = value;
        } else if (option == "--model") {
            if (value.empty())
                return Usage("--model needs a name");
            options.models.push_back(value);
        } else if (option == "--os") {
            if (value.empty() || value.find_first_not_of("9n2") != std::string::npos)
                return Usage("--os takes letters of 9, n and 2, not '" + value + "'");
            options.csOsLetters = value;
        } else if (option == "--drivers") {
            if (value.empty() || value.find_first_not_of("65s") != std::string::npos)
                return Usage("--drivers takes letters of 6, 5 and s, not '" + value + "'");
            options.csDriverLetters = value;
        } else if (option == "--driver-ver") {
            options.csDriverVer = value;
        } else if (option == "--installer") {
            options.csInstaller = value;
        } else if (option == "--monitor") {
            options.csMonitor = value;
        } else if (option == "--monitor-version") {
            if (!ParseVersion(value, options.dwMonitorVersion))
                return Usage("--monitor-version takes A.B.C.D, not '" + value + "'");
        } else {
            return Usage("unknown option '" + option + "'");
        }
    }
    if (options.models.empty())
        options.models = {"Zantor Pressa A", "Zantor Pressa B", "Laser 1332"};
    if (options.csWorkDir.empty())
        options.csWorkDir = CVexData().GetWorkingDir();
    if (options.csWorkDir.empty())
        return Usage("the system root has no working directory: run 'vexsys setup' or give "
                     "--workdir");

    std::error_code ec;
    const std::string setupName = std::string("setup") + platform::ExecutableSuffix();
    std::string self;
    if (!platform::GetModuleFileName(&self)) {
        std::fprintf(stderr, "samplepkg: cannot find its own folder\n");
        return 1;
    }
    const fs::path tools = fs::path(self).parent_path();
    fs::path installer =
        options.csInstaller.empty() ? tools / setupName : fs::path(options.csInstaller);
    fs::path monitor =
        options.csMonitor.empty() ? tools / BuiltMonitorName() : fs::path(options.csMonitor);
    if (!fs::is_regular_file(installer, ec)) {
        std::fprintf(stderr, "samplepkg: no installer program at '%s'\n",
                     installer.string().c_str());
        return 1;
    }
    if (options.bMonitor && !fs::is_regular_file(monitor, ec)) {
        std::fprintf(stderr, "samplepkg: no port monitor at '%s'\n", monitor.string().c_str());
        return 1;
    }
    const uint32_t* v = options.dwMonitorVersion;
    std::map<char, fs::path> laid; // the first folder of each driver type
    fs::path files = fs::path(options.csWorkDir) / "Files";
    for (char os : options.csOsLetters) {
        for (char driver : options.csDriverLetters) {
            fs::path folder = files / "d" / std::string(1, os) / std::string(1, driver);
            fs::create_directories(folder, ec);
            if (ec) {
                std::fprintf(stderr, "samplepkg: cannot create %s: %s\n", folder.string().c_str(),
                             ec.message().c_str());
                return 1;
            }
            std::string text = InfText(options, os, driver);
            if (options.bUtf16)
                text = ToUtf16(text);
            std::string infName = std::string("zantor") + driver + ".inf";
            if (!WriteText(folder / infName, text) || !CopyProgram(installer, folder / setupName) ||
                !LaySpoolerFiles(folder, driver, &laid))
                return 1;
        }
        if (options.bMonitor && os != '9') {
            fs::path folder = files / "p" / std::string(1, os);
            fs::create_directories(folder, ec);
            fs::path file = folder / "zantornpmon.dll";
            if (ec || !CopyProgram(monitor, file) ||
                !WriteText(folder / "monitor.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n"))
                return 1;
            if (!platform::UpdateFileVersion(file.string(), v[0] << 16 | v[1], v[2] << 16 | v[3])) {
                std::fprintf(stderr, "samplepkg: %s has no version resource to stamp\n",
                             monitor.string().c_str());
                return 1;
            }
        }
    }
    CVexData data;
    if (!WriteText(fs::path(options.csWorkDir) / data.GetReadmeFile(), ReadmeText(options)))
        return 1;
    std::printf("Sample driver package laid into %s (%zu models)\n", files.string().c_str(),
                options.models.size());
    return 0;
}
