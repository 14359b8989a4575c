// The internet: downloads over HTTP, HTTPS and FTP, the size of a file on an
// FTP site, in the shape of the system's internet functions.
//
// A session (InternetOpen) chooses how to reach the net: preconfigured access
// takes the proxy from the user's Internet settings (HKEY_CURRENT_USER
// "Software\Microsoft\Windows\CurrentVersion\Internet Settings": "ProxyEnable"
// 1 and "ProxyServer" "HOST:PORT" or "http=HOST:PORT;ftp=HOST:PORT", with
// "ProxyOverride" naming hosts reached directly); direct access never uses a
// proxy, whatever the environment says. Nothing is cached here, and a reload
// also asks every proxy on the way not to answer from its cache. An https
// address is reached only after its certificate and host name check out
// against the machine's certificate authorities: the system's, and the roots
// the machine trusts besides (HKEY_LOCAL_MACHINE
// "SOFTWARE\Microsoft\SystemCertificates\ROOT\Certificates", a subkey per
// root with its certificate in "Blob"; PEM text on POSIX), read when a session
// opens.
//
// Failures leave the Win32 internet error numbers (120xx) in the last error.
// POSIX: libcurl.
#pragma once

#include "platform/files.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct InternetHandle;
using HINTERNET = InternetHandle*;

enum : uint32_t {
    INTERNET_OPEN_TYPE_PRECONFIG = 0,
    INTERNET_OPEN_TYPE_DIRECT = 1,

    INTERNET_FLAG_RELOAD = 0x80000000,
    INTERNET_FLAG_PRAGMA_NOCACHE = 0x00000100,

    INTERNET_DEFAULT_FTP_PORT = 21,

    ERROR_INTERNET_TIMEOUT = 12002,
    ERROR_INTERNET_EXTENDED_ERROR = 12003,
    ERROR_INTERNET_INTERNAL_ERROR = 12004,
    ERROR_INTERNET_INVALID_URL = 12005,
    ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006,
    ERROR_INTERNET_NAME_NOT_RESOLVED = 12007,
    ERROR_INTERNET_OPERATION_CANCELLED = 12017,
    ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018,
    ERROR_INTERNET_CANNOT_CONNECT = 12029,
    ERROR_INTERNET_CONNECTION_ABORTED = 12030,
    ERROR_INTERNET_SECURE_FAILURE = 12175,
    ERROR_HTTP_HEADER_NOT_FOUND = 12150,
};

// Ends the blocking calls of the handles it is given to (reads, opens, FTP
// look-ups) from any thread: they fail with ERROR_INTERNET_OPERATION_CANCELLED
// within a tenth of a second. Shared, so a canceller never holds a handle that
// its owner may be closing.
class InternetCancel {
public:
    void Cancel() { m_bCancelled = true; }
    bool IsCancelled() const { return m_bCancelled; }

private:
    std::atomic<bool> m_bCancelled{false};
};

// A session; csAgent is the user agent sent ("" for none). Preconfigured access
// fails with ERROR_INVALID_PARAMETER when the switched-on proxy setting cannot
// be read as an address.
HINTERNET InternetOpen(const std::string& csAgent, uint32_t dwAccessType);
// The handles opened from the session from now on end their waits on pCancel.
void InternetSetCancel(HINTERNET hSession, std::shared_ptr<InternetCancel> pCancel);

// Opens an address (http://, https:// or ftp://) of the session and waits for
// the answer to start. An HTTP answer with a status of 400 or more fails with
// ERROR_INTERNET_EXTENDED_ERROR (the status is traced by the caller's error
// text); a missing FTP file fails the same way. Redirections are followed
// between http and https only.
HINTERNET InternetOpenUrl(HINTERNET hSession, const std::string& csUrl, uint32_t dwFlags);
// Reads the next bytes of an open address, at most dwToRead; *pdwRead is 0 at
// the end. A connection that breaks or stalls for a minute fails the read.
bool InternetReadFile(HINTERNET hFile, void* pBuffer, uint32_t dwToRead, uint32_t* pdwRead);
// The content length an HTTP answer announced (through a proxy, the proxy's
// answer for any address); ERROR_HTTP_HEADER_NOT_FOUND when it announced none.
bool HttpQueryContentLength(HINTERNET hFile, uint64_t* pqwLength);

// A connection to an FTP site, logged in anonymously when csUser is empty.
HINTERNET InternetConnectFtp(HINTERNET hSession, const std::string& csHost, uint16_t wPort,
                             const std::string& csUser, const std::string& csPassword);
// The file at csPath on the site, with its name and size; ERROR_NO_MORE_FILES
// when there is none.
bool FtpFindFirstFile(HINTERNET hConnect, const std::string& csPath, FindData* pFound);

bool InternetCloseHandle(HINTERNET hInternet);

// The parts of an address this layer understands: scheme, host, port (0 when
// the address names none) and path. False for anything else.
struct UrlParts {
    std::string csScheme; // lower case: "http", "https" or "ftp"
    std::string csHost;
    uint16_t wPort = 0;
    std::string csPath; // from its first '/', "" when the address has none
};
bool CrackUrl(const std::string& csUrl, UrlParts* pParts);

} // namespace platform
