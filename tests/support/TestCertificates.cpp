#include "TestCertificates.h"

#include "TestSupport.h"
#include "platform/registry.h"

#include <cstdlib>
#include <filesystem>

namespace vextest {

namespace {

const char* const kRootCertificates = "SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates";

// Arguments are the tests' own names and paths without blanks or quotes.
std::string Quoted(const std::string& csText) {
    return "'" + csText + "'";
}

} // namespace

CTestCertificates::CTestCertificates() {
    char szTemplate[] = "/tmp/vexcerts-XXXXXX";
    if (!::mkdtemp(szTemplate)) {
        m_csError = "mkdtemp failed";
        return;
    }
    m_csFolder = szTemplate;
    m_bReady = Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Vex Test CA' "
                   "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=keyCertSign "
                   "-keyout " +
                   Quoted(m_csFolder + "/ca.key") + " -out " + Quoted(m_csFolder + "/ca.pem"));
}

CTestCertificates::~CTestCertificates() {
    if (m_csFolder.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(m_csFolder, ec);
}

bool CTestCertificates::Run(const std::string& csCommand) {
    std::string csOutput;
    if (RunProgram("/bin/sh", {"-c", csCommand + " 2>&1"}, &csOutput) == 0)
        return true;
    m_csError = csCommand + ": " + csOutput;
    return false;
}

std::string CTestCertificates::Issue(const std::string& csName,
                                     const std::string& csSubjectAltName) {
    std::string base = m_csFolder + "/" + csName;
    std::string ext = base + ".ext";
    WriteFile(ext, "subjectAltName=" + csSubjectAltName + "\nextendedKeyUsage=serverAuth\n");
    bool bOk = m_bReady &&
               Run("openssl req -newkey rsa:2048 -nodes -subj '/CN=" + csName + "' -keyout " +
                   Quoted(base + ".key") + " -out " + Quoted(base + ".csr")) &&
               Run("openssl x509 -req -days 2 -in " + Quoted(base + ".csr") + " -CA " +
                   Quoted(m_csFolder + "/ca.pem") + " -CAkey " + Quoted(m_csFolder + "/ca.key") +
                   " -CAcreateserial -extfile " + Quoted(ext) + " -out " + Quoted(base + ".crt")) &&
               Run("cat " + Quoted(base + ".crt") + " " + Quoted(base + ".key") + " > " +
                   Quoted(base + ".pem"));
    return bOk ? base + ".pem" : "";
}

std::string CTestCertificates::SelfSigned(const std::string& csName,
                                          const std::string& csSubjectAltName) {
    std::string base = m_csFolder + "/" + csName;
    bool bOk = Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=" + csName +
                   "' -addext subjectAltName=" + csSubjectAltName + " -keyout " +
                   Quoted(base + ".key") + " -out " + Quoted(base + ".crt")) &&
               Run("cat " + Quoted(base + ".crt") + " " + Quoted(base + ".key") + " > " +
                   Quoted(base + ".pem"));
    return bOk ? base + ".pem" : "";
}

bool CTestCertificates::Trust() const {
    std::string pem = ReadFile(m_csFolder + "/ca.pem");
    if (pem.empty())
        return false;
    platform::HKEY hKey = nullptr;
    if (platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE,
                                 std::string(kRootCertificates) + "\\Vex Test CA",
                                 &hKey) != platform::ERROR_SUCCESS)
        return false;
    uint32_t dwRc =
        platform::RegSetValueEx(hKey, "Blob", platform::REG_BINARY,
                                reinterpret_cast<const uint8_t*>(pem.data()), uint32_t(pem.size()));
    platform::RegCloseKey(hKey);
    return dwRc == platform::ERROR_SUCCESS;
}

} // namespace vextest
