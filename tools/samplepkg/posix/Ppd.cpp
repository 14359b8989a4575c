// One PPD per driver type, built on CUPS's generic drivers: PostScript as it
// is, PCL 5 through the HP raster driver, PCL 6 through Ghostscript's PCL XL
// filter. Each is compiled from a small driver description of its own.
#include "Ppd.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const kCompiler = "/usr/bin/ppdc";

std::string Description(char driverLetter) {
    std::string model, body;
    switch (driverLetter) {
    case '6':
        model = "Zantor PCL 6";
        body = "  DriverType ps\n"
               "  Filter application/vnd.cups-postscript 100 gstopxl\n"
               "  Filter application/vnd.cups-pdf 0 gstopxl\n";
        break;
    case '5':
        model = "Zantor PCL 5";
        body = "  DriverType hp\n  ColorDevice No\n  *Resolution k 1 0 0 0 300dpi\n";
        break;
    default:
        model = "Zantor PostScript";
        body = "  DriverType ps\n";
        break;
    }
    return "#include <font.defs>\n#include <media.defs>\n"
           "Manufacturer \"Zantor\"\nVersion 1.0\nFont *\n"
           "Attribute \"LanguageLevel\" \"\" \"3\"\n"
           "HWMargins 18 36 18 36\n*MediaSize Letter\nMediaSize A4\n{\n  ModelName \"" +
           model + "\"\n  PCFileName \"zantor" + std::string(1, driverLetter) + ".ppd\"\n" + body +
           "}\n";
}

} // namespace

bool HasPpdCompiler() {
    return ::access(kCompiler, X_OK) == 0;
}

bool CompilePpd(const std::filesystem::path& folder, char driverLetter) {
    std::filesystem::path source = folder / ("zantor" + std::string(1, driverLetter) + ".drv");
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out << Description(driverLetter);
        if (!out.flush()) {
            std::fprintf(stderr, "samplepkg: cannot write %s\n", source.c_str());
            return false;
        }
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0)
            ::dup2(null, 1);
        ::execl(kCompiler, "ppdc", "-l", "en", "-d", folder.c_str(), source.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    bool ok = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
              WEXITSTATUS(status) == 0;
    std::error_code ec;
    std::filesystem::remove(source, ec);
    if (!ok)
        std::fprintf(stderr, "samplepkg: the PPD compiler failed on %s\n", source.c_str());
    return ok;
}
