// Certificates for the tests' https sites: a certificate authority of the
// tests' own, server certificates it signs for a name or an address, and
// self-signed ones, made with the openssl command in a folder of their own.
// The machine trusts the authority only once it is added to the machine's
// root certificates (Trust), as an administrator would add a company's.
#pragma once

#include <string>

namespace vextest {

class CTestCertificates {
public:
    CTestCertificates();
    ~CTestCertificates();
    CTestCertificates(const CTestCertificates&) = delete;
    CTestCertificates& operator=(const CTestCertificates&) = delete;

    // The authority was made; otherwise Error() says why.
    bool Ready() const { return m_bReady; }
    const std::string& Error() const { return m_csError; }

    // A server certificate with its key in one PEM file (as web servers take
    // it) for csSubjectAltName ("IP:127.0.0.1", "DNS:printers.example"):
    // signed by the authority, or signed by itself. The file's path, "" on failure.
    std::string Issue(const std::string& csName, const std::string& csSubjectAltName);
    std::string SelfSigned(const std::string& csName, const std::string& csSubjectAltName);

    // Adds the authority to the machine's trusted root certificates (in the
    // registry of the current system root).
    bool Trust() const;

private:
    bool Run(const std::string& csCommand);

    std::string m_csFolder;
    bool m_bReady = false;
    std::string m_csError;
};

} // namespace vextest
