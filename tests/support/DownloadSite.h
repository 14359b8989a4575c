// The driver download site of the tests: a web server (lighttpd) on
// 127.0.0.1:80 and an anonymous FTP server (pyftpdlib) on 127.0.0.1:21 offering
// one folder, inside a private network namespace the fixture enters first, so
// tests running side by side each have their own site and nothing leaves the
// machine. Packages and checksum files are laid with drvsite.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vextest {

class CDownloadSite {
public:
    // uKBytesPerSecond: the web server's pace per connection (0: as fast as it can).
    explicit CDownloadSite(uint32_t uKBytesPerSecond = 0);
    ~CDownloadSite();
    CDownloadSite(const CDownloadSite&) = delete;
    CDownloadSite& operator=(const CDownloadSite&) = delete;

    // Both servers answer; otherwise Error() says why.
    bool Ready() const { return m_bReady; }
    const std::string& Error() const { return m_csError; }
    const std::string& Folder() const { return m_csFolder; }
    static std::string HttpRoot() { return "http://127.0.0.1"; }
    static std::string FtpRoot() { return "ftp://127.0.0.1"; }

    // What the servers were asked so far: the web server's access log and the
    // FTP server's log, one request a line.
    std::string Requests() const;
    // Serves the same folder over https on 127.0.0.1:wPort with the
    // certificate and key of csPemFile; true once it answers.
    bool ServeHttps(uint16_t wPort, const std::string& csPemFile);
    static std::string HttpsRoot(uint16_t wPort) {
        return "https://127.0.0.1:" + std::to_string(wPort);
    }

    // Runs drvsite --site FOLDER with the arguments; true on success.
    bool Lay(const std::vector<std::string>& args);
    // The site's file for a path below the folder (as laid by drvsite).
    std::string Path(const std::string& csBelow) const { return m_csFolder + csBelow; }

private:
    pid_t Start(const std::vector<std::string>& argv, const std::string& csLog);

    std::string m_csFolder; // the site's files
    std::string m_csState;  // server configuration and logs
    pid_t m_http = -1;
    pid_t m_ftp = -1;
    std::vector<pid_t> m_https;
    bool m_bReady = false;
    std::string m_csError;
};

} // namespace vextest
