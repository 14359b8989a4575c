#include "DownloadSite.h"

#include "TestSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vextest {

namespace {

bool Answers(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool bOk = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bOk;
}

void Stop(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

} // namespace

CDownloadSite::CDownloadSite(uint32_t uKBytesPerSecond) {
    std::string csNetError;
    if (!EnterPrivateNetwork(&csNetError)) {
        m_csError = "no private network: " + csNetError;
        return;
    }
    char szTemplate[] = "/tmp/vexsite-XXXXXX";
    if (!::mkdtemp(szTemplate)) {
        m_csError = "mkdtemp failed";
        return;
    }
    m_csState = szTemplate;
    m_csFolder = m_csState + "/site";
    std::filesystem::create_directories(m_csFolder);
    std::string csConfig = "server.document-root = \"" + m_csFolder + "\"\n";
    csConfig += "server.bind = \"127.0.0.1\"\nserver.port = 80\n";
    csConfig += "server.errorlog = \"" + m_csState + "/lighttpd.log\"\n";
    csConfig += "server.modules = (\"mod_accesslog\")\n";
    csConfig += "accesslog.filename = \"" + m_csState + "/access.log\"\n";
    if (uKBytesPerSecond)
        csConfig += "connection.kbytes-per-second = " + std::to_string(uKBytesPerSecond) + "\n";
    WriteFile(m_csState + "/lighttpd.conf", csConfig);
    m_http = Start({"lighttpd", "-D", "-f", m_csState + "/lighttpd.conf"}, m_csState + "/http.out");
    // Debian's own Python, which has the FTP server module.
    m_ftp = Start(
        {"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", "21", "-d", m_csFolder},
        m_csState + "/ftp.log");
    m_bReady = m_http > 0 && m_ftp > 0 && WaitFor([] { return Answers(80) && Answers(21); });
    if (!m_bReady)
        m_csError = "the site's servers did not start (see " + m_csState + ")";
}

CDownloadSite::~CDownloadSite() {
    Stop(m_http);
    Stop(m_ftp);
    for (pid_t pid : m_https)
        Stop(pid);
    if (!m_csState.empty() && m_bReady) {
        std::error_code ec;
        std::filesystem::remove_all(m_csState, ec);
    }
}

bool CDownloadSite::ServeHttps(uint16_t wPort, const std::string& csPemFile) {
    if (!m_bReady || csPemFile.empty())
        return false;
    std::string csName = m_csState + "/https-" + std::to_string(wPort);
    std::string csConfig = "server.document-root = \"" + m_csFolder + "\"\n";
    csConfig += "server.bind = \"127.0.0.1\"\nserver.port = " + std::to_string(wPort) + "\n";
    csConfig += "server.errorlog = \"" + csName + ".log\"\n";
    csConfig += "server.modules = (\"mod_openssl\", \"mod_accesslog\")\n";
    csConfig += "accesslog.filename = \"" + m_csState + "/access.log\"\n";
    csConfig += "ssl.engine = \"enable\"\nssl.pemfile = \"" + csPemFile + "\"\n";
    WriteFile(csName + ".conf", csConfig);
    pid_t pid = Start({"lighttpd", "-D", "-f", csName + ".conf"}, csName + ".out");
    if (pid <= 0)
        return false;
    m_https.push_back(pid);
    return WaitFor([wPort] { return Answers(wPort); });
}

pid_t CDownloadSite::Start(const std::vector<std::string>& argv, const std::string& csLog) {
    pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    int fd = ::open(csLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
}

std::string CDownloadSite::Requests() const {
    return ReadFile(m_csState + "/access.log") + ReadFile(m_csState + "/ftp.log");
}

bool CDownloadSite::Lay(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--site", m_csFolder};
    all.insert(all.end(), args.begin(), args.end());
    std::string output;
    return RunProgram(ProgramPath("drvsite"), all, &output) == 0;
}

} // namespace vextest
