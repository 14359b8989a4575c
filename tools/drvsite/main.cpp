// drvsite: lays driver packages and their checksum files into a folder that a
// web or FTP server offers as the maker's driver download site, at the places
// the GUI looks for them. A package is a gzip-compressed tar archive, the
// stand-in for the maker's self-extracting program: the driver folder's files
// (an .inf file with the package's version, the installer "setup") at its top
// and the port monitor's files under "portmon".
//
// For the tests it also lays what a site must never be trusted with: a
// package whose archive reaches outside its folder (--hostile), a checksum
// file that does not match (--checksum) or says "ERROR" (--sum-text).
#include "common/DriverChecksum.h"
#include "common/DriverSite.h"
#include "common/VexData.h"
#include "platform/os.h"

#include <archive.h>
#include <archive_entry.h>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    "usage: drvsite --site DIR --version VERSION [--os LETTERS] [--drivers LETTERS]\n"
    "               [--language CODE] [--model NAME]... [--pad BYTES]\n"
    "               [--hostile dotdot|absolute|symlink|hardlink] [--checksum TEXT]\n"
    "               [--sum-text TEXT] [--installer PATH] [--monitor PATH]\n"
    "  Lays the package and checksum file of each system (n: Windows NT 4.0, 2: 2000\n"
    "  and XP; default n2) and driver letter (6: PCL 6, s: PostScript; default 6s)\n"
    "  for the language (default enu) under DIR. The package's .inf files carry\n"
    "  VERSION, which its checksum file announces. --pad adds a file of BYTES random\n"
    "  bytes; --checksum and --sum-text replace the checksum file's checksum or\n"
    "  its whole text.\n";

struct SOptions {
    std::string csSite, csVersion, csOsLetters = "n2", csDriverLetters = "6s";
    std::string csLanguage = "enu";
    std::vector<std::string> models;
    uint64_t qwPad = 0;
    std::string csHostile, csChecksum, csSumText, csInstaller, csMonitor;
    bool bSumText = false;
};

int Usage(const std::string& csMessage) {
    std::fprintf(stderr, "drvsite: %s\n%s", csMessage.c_str(), kUsage);
    return 2;
}

std::string InfText(const SOptions& options, char driverLetter) {
    const eDriverType eType = driverLetter == '6' ? eDriverPcl6 : eDriverPostScript;
    std::string text = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
                       "Provider=%ZANTOR%\r\nDriverVer=01/01/2026," +
                       options.csVersion +
                       "\r\n\r\n[Manufacturer]\r\n%ZANTOR%=ZANTOR\r\n\r\n[ZANTOR]\r\n";
    CVexData data;
    for (const std::string& model : options.models)
        text += "\"" + data.GetDriverName(model, eType) + "\" = ZA.GPD\r\n";
    text += "\r\n[Strings]\r\nZANTOR=\"Zantor\"\r\n";
    return text;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CPackageWriter {
public:
    explicit CPackageWriter(const fs::path& path) : m_pArchive(archive_write_new()) {
        archive_write_add_filter_gzip(m_pArchive);
        archive_write_set_filter_option(m_pArchive, "gzip", "compression-level", "1");
        archive_write_set_format_pax_restricted(m_pArchive);
        m_bOk = archive_write_open_filename(m_pArchive, path.c_str()) == ARCHIVE_OK;
    }
    ~CPackageWriter() { archive_write_free(m_pArchive); }

    void File(const std::string& csName, const std::string& csData, int iPerm = 0644) {
        archive_entry* pEntry = NewEntry(csName, AE_IFREG, iPerm);
        archive_entry_set_size(pEntry, la_int64_t(csData.size()));
        m_bOk = m_bOk && archive_write_header(m_pArchive, pEntry) == ARCHIVE_OK &&
                archive_write_data(m_pArchive, csData.data(), csData.size()) ==
                    la_ssize_t(csData.size());
        archive_entry_free(pEntry);
    }
    void Folder(const std::string& csName) { Header(NewEntry(csName, AE_IFDIR, 0755)); }
    void Symlink(const std::string& csName, const std::string& csTarget) {
        archive_entry* pEntry = NewEntry(csName, AE_IFLNK, 0777);
        archive_entry_set_symlink(pEntry, csTarget.c_str());
        Header(pEntry);
    }
    void Hardlink(const std::string& csName, const std::string& csTarget) {
        archive_entry* pEntry = NewEntry(csName, AE_IFREG, 0644);
        archive_entry_set_hardlink(pEntry, csTarget.c_str());
        Header(pEntry);
    }
    bool Close() { return m_bOk && archive_write_close(m_pArchive) == ARCHIVE_OK; }

private:
    archive_entry* NewEntry(const std::string& csName, unsigned type, int iPerm) {
        archive_entry* pEntry = archive_entry_new();
        archive_entry_set_pathname(pEntry, csName.c_str());
        archive_entry_set_filetype(pEntry, type);
        archive_entry_set_perm(pEntry, iPerm);
        archive_entry_set_mtime(pEntry, std::time(nullptr), 0);
        return pEntry;
    }
    void Header(archive_entry* pEntry) {
        m_bOk = m_bOk && archive_write_header(m_pArchive, pEntry) == ARCHIVE_OK;
        archive_entry_free(pEntry);
    }

    archive* m_pArchive;
    bool m_bOk = false;
};

bool WritePackage(const SOptions& options, char driverLetter, const fs::path& path,
                  const fs::path& installer, const fs::path& monitor) {
    CPackageWriter writer(path);
    writer.File(std::string("zantor") + driverLetter + ".inf", InfText(options, driverLetter));
    writer.File(std::string("setup") + platform::ExecutableSuffix(), ReadAll(installer), 0755);
    writer.Folder("portmon");
    writer.File("portmon/zantornpmon.dll", ReadAll(monitor), 0755);
    writer.File("portmon/monitor.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
    if (options.qwPad > 0) {
        std::string pad(options.qwPad, '\0');
        std::mt19937_64 random(options.qwPad);
        for (size_t i = 0; i + 8 <= pad.size(); i += 8) {
            uint64_t v = random();
            std::memcpy(&pad[i], &v, 8);
        }
        writer.File("data.cab", pad);
    }
    if (options.csHostile == "dotdot")
        writer.File("../escaped.txt", "outside\n");
    else if (options.csHostile == "absolute")
        writer.File((fs::temp_directory_path() / "drvsite-escaped.txt").string(), "outside\n");
    else if (options.csHostile == "symlink")
        writer.Symlink("escape", "../../..");
    else if (options.csHostile == "hardlink")
        writer.Hardlink("passwd", "/etc/passwd");
    return writer.Close();
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
        if (i + 1 >= argc)
            return Usage("option " + option + " needs a value");
        std::string value = argv[++i];
        if (option == "--site")
            options.csSite = value;
        else if (option == "--version")
            options.csVersion = value;
        else if (option == "--os" && !value.empty() &&
                 value.find_first_not_of("n2") == std::string::npos)
            options.csOsLetters = value;
        else if (option == "--drivers" && !value.empty() &&
                 value.find_first_not_of("6s") == std::string::npos)
            options.csDriverLetters = value;
        else if (option == "--language")
            options.csLanguage = value;
        else if (option == "--model")
            options.models.push_back(value);
        else if (option == "--pad" && !value.empty() &&
                 value.find_first_not_of("0123456789") == std::string::npos)
            options.qwPad = std::stoull(value);
        else if (option == "--hostile" && (value == "dotdot" || value == "absolute" ||
                                           value == "symlink" || value == "hardlink"))
            options.csHostile = value;
        else if (option == "--checksum")
            options.csChecksum = value;
        else if (option == "--sum-text") {
            options.csSumText = value;
            options.bSumText = true;
        } else if (option == "--installer")
            options.csInstaller = value;
        else if (option == "--monitor")
            options.csMonitor = value;
        else
            return Usage("bad option or value: " + option + " " + value);
    }
    if (options.csSite.empty() || options.csVersion.empty())
        return Usage("--site and --version are needed");
    if (options.models.empty())
        options.models = {"Zantor Pressa A", "Zantor Pressa B", "Laser 1332"};
    std::string csFolder;
    if (!CVexData().GetLanguageFolder(csFolder, options.csLanguage))
        return Usage("unknown language code '" + options.csLanguage + "'");

    std::error_code ec;
    fs::path tools = fs::read_symlink("/proc/self/exe", ec).parent_path();
    fs::path installer = options.csInstaller.empty()
                             ? tools / (std::string("setup") + platform::ExecutableSuffix())
                             : fs::path(options.csInstaller);
    fs::path monitor =
        options.csMonitor.empty() ? tools / "zantornpmon.dll" : fs::path(options.csMonitor);
    if (!fs::is_regular_file(installer, ec) || !fs::is_regular_file(monitor, ec)) {
        std::fprintf(stderr, "drvsite: the installer %s or the monitor %s is missing\n",
                     installer.c_str(), monitor.c_str());
        return 1;
    }
    for (char os : options.csOsLetters) {
        for (char driver : options.csDriverLetters) {
            SDriverAddresses paths;
            BuildDriverAddresses(fs::absolute(options.csSite).string(), os == 'n' ? eOsNT4 : eOsXP,
                                 driver == '6' ? eDriverPcl6 : eDriverPostScript, csFolder,
                                 options.csLanguage, &paths);
            fs::create_directories(fs::path(paths.csPackage).parent_path(), ec);
            std::string csChecksum;
            if (ec || !WritePackage(options, driver, paths.csPackage, installer, monitor) ||
                !FileChecksumText(paths.csPackage, &csChecksum)) {
                std::fprintf(stderr, "drvsite: cannot write %s\n", paths.csPackage.c_str());
                return 1;
            }
            if (!options.csChecksum.empty())
                csChecksum = options.csChecksum;
            std::string csSum = options.bSumText
                                    ? options.csSumText
                                    : fs::path(paths.csPackage).filename().string() + " " +
                                          options.csVersion + " " + csChecksum + "\r\n";
            std::ofstream sum(paths.csChecksum, std::ios::binary | std::ios::trunc);
            sum << csSum;
            sum.close();
            if (!sum) {
                std::fprintf(stderr, "drvsite: cannot write %s\n", paths.csChecksum.c_str());
                return 1;
            }
            std::printf("%s\n", paths.csPackage.c_str());
        }
    }
    return 0;
}
