// The internet facility on libcurl. An open address is one easy handle in a
// multi handle of its own, pumped by the caller's reads: the answer's bytes
// gather in a buffer, and the transfer pauses while the buffer holds more than
// the reader has taken, so a download of any size keeps a bounded footprint.
#include "platform/internet.h"

#include "platform/error.h"
#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <curl/curl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

namespace platform {

struct InternetHandle {
    enum class EKind { Session, Url, Ftp };
    explicit InternetHandle(EKind e) : eKind(e) {}
    EKind eKind;
    std::string csAgent;
    bool bUseProxy = false;
    std::string csHttpProxy, csHttpsProxy, csFtpProxy, csNoProxy;
    std::shared_ptr<InternetCancel> pCancel;
    // The certificate authorities an https address is checked against, when
    // the machine trusts roots of its own beside the system's ("": libcurl's).
    std::string csCertificates;

    // Url: the transfer.
    CURL* pEasy = nullptr;
    CURLM* pMulti = nullptr;
    curl_slist* pHeaders = nullptr;
    std::string buffer; // bytes received, from offset on not yet read
    size_t offset = 0;
    bool bPaused = false;
    bool bDone = false;
    bool bHeadersDone = false;
    CURLcode result = CURLE_OK;
    char szError[CURL_ERROR_SIZE] = {};

    // Ftp: the site.
    std::string csHost, csUser, csPassword;
    uint16_t wPort = 0;
};

namespace {

// A transfer pauses while this much is waiting to be read.
constexpr size_t kBufferLimit = 256 * 1024;
constexpr long kConnectTimeoutSeconds = 30;
constexpr long kStallSeconds = 60;
constexpr int kPollMilliseconds = 100;
const char* const kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
// The machine's trusted root certificate authorities: a subkey each, its
// certificate in the value "Blob" (PEM text here).
const char* const kRootCertificates = "SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates";

bool GlobalInit() {
    static std::once_flag once;
    static bool bOk = false;
    std::call_once(once, [] { bOk = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return bOk;
}

uint32_t ErrorFromCurl(CURLcode code) {
    switch (code) {
    case CURLE_OK:
        return ERROR_SUCCESS;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT:
        return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_ABORTED_BY_CALLBACK:
        return ERROR_INTERNET_OPERATION_CANCELLED;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
        return ERROR_INTERNET_SECURE_FAILURE;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_OUT_OF_MEMORY:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INTERNET_EXTENDED_ERROR;
    }
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "HOST:PORT" for every scheme, or "http=HOST:PORT;ftp=HOST:PORT" per scheme.
bool ParseProxyServer(const std::string& csValue, InternetHandle* pSession) {
    std::string csAll;
    size_t start = 0;
    while (start <= csValue.size()) {
        size_t end = csValue.find(';', start);
        if (end == std::string::npos)
            end = csValue.size();
        std::string item = Trim(csValue.substr(start, end - start));
        start = end + 1;
        if (item.empty())
            continue;
        size_t equals = item.find('=');
        std::string address = Trim(equals == std::string::npos ? item : item.substr(equals + 1));
        if (address.empty() || address.find_first_of(" \t") != std::string::npos)
            return false;
        if (equals == std::string::npos) {
            csAll = address;
            continue;
        }
        std::string scheme = Lower(Trim(item.substr(0, equals)));
        if (scheme == "http")
            pSession->csHttpProxy = address;
        else if (scheme == "https")
            pSession->csHttpsProxy = address;
        else if (scheme == "ftp")
            pSession->csFtpProxy = address;
    }
    if (!csAll.empty()) {
        pSession->csHttpProxy = pSession->csHttpsProxy = pSession->csFtpProxy = csAll;
    }
    return !pSession->csHttpProxy.empty() || !pSession->csHttpsProxy.empty() ||
           !pSession->csFtpProxy.empty();
}

// "a.example;*.b.example;<local>" as libcurl's "a.example,.b.example". Hosts
// without a dot ("<local>") are not told apart here.
std::string NoProxyList(const std::string& csOverride) {
    std::string list;
    size_t start = 0;
    while (start <= csOverride.size()) {
        size_t end = csOverride.find(';', start);
        if (end == std::string::npos)
            end = csOverride.size();
        std::string host = Trim(csOverride.substr(start, end - start));
        start = end + 1;
        if (host.empty() || host == "<local>")
            continue;
        if (host.rfind("*.", 0) == 0)
            host.erase(0, 1);
        list += (list.empty() ? "" : ",") + host;
    }
    return list;
}

bool ReadProxySettings(InternetHandle* pSession) {
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kInternetSettings, &hKey) != ERROR_SUCCESS)
        return true; // no settings: direct
    uint32_t dwEnable = 0;
    std::string csServer, csOverride;
    bool bOk = true;
    if (RegQueryDword(hKey, "ProxyEnable", &dwEnable) == ERROR_SUCCESS && dwEnable == 1) {
        RegQueryString(hKey, "ProxyServer", &csServer);
        RegQueryString(hKey, "ProxyOverride", &csOverride);
        bOk = ParseProxyServer(csServer, pSession);
        pSession->bUseProxy = bOk;
        pSession->csNoProxy = NoProxyList(csOverride);
    }
    RegCloseKey(hKey);
    return bOk;
}

std::string ReadWholeFile(const char* pszPath) {
    std::ifstream in(pszPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The system's bundle followed by the roots the machine adds; "" when it adds
// none, so libcurl keeps its own bundle. Read once per session.
std::string MachineCertificates() {
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kRootCertificates, &hKey) != ERROR_SUCCESS)
        return "";
    std::vector<SSubkeyValue> blobs;
    uint32_t dwRc = RegQuerySubkeyValues(hKey, "Blob", &blobs);
    RegCloseKey(hKey);
    std::string csAdded;
    if (dwRc == ERROR_SUCCESS) {
        for (const SSubkeyValue& blob : blobs) {
            if (blob.dwType != REG_BINARY || blob.data.empty())
                continue;
            csAdded.append(blob.data.begin(), blob.data.end());
            csAdded += "\n";
        }
    }
    if (csAdded.empty())
        return "";
    std::string csSystem;
    if (CURL* pEasy = curl_easy_init()) {
        char* pszBundle = nullptr;
        if (curl_easy_getinfo(pEasy, CURLINFO_CAINFO, &pszBundle) == CURLE_OK && pszBundle)
            csSystem = ReadWholeFile(pszBundle);
        curl_easy_cleanup(pEasy);
    }
    return csSystem + "\n" + csAdded;
}

bool IsKind(HINTERNET h, InternetHandle::EKind eKind) {
    if (!h)
        return Fail(ERROR_INVALID_HANDLE);
    if (h->eKind != eKind)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return true;
}

size_t OnBody(char* pData, size_t size, size_t count, void* pUser) {
    auto* h = static_cast<InternetHandle*>(pUser);
    if (h->buffer.size() - h->offset >= kBufferLimit) {
        h->bPaused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (h->offset > 0 && h->offset == h->buffer.size()) {
        h->buffer.clear();
        h->offset = 0;
    }
    h->buffer.append(pData, size * count);
    return size * count;
}

// The blank line that ends an answer's headers; answers that another one
// follows (1xx, a redirection being followed) do not count.
size_t OnHeader(char* pData, size_t size, size_t count, void* pUser) {
    auto* h = static_cast<InternetHandle*>(pUser);
    size_t length = size * count;
    if (length <= 2 && (length == 0 || pData[0] == '\r' || pData[0] == '\n')) {
        long status = 0;
        curl_easy_getinfo(h->pEasy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200 && !(status >= 300 && status < 400))
            h->bHeadersDone = true;
    }
    return length;
}

int OnProgress(void* pUser, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* h = static_cast<InternetHandle*>(pUser);
    return h->pCancel && h->pCancel->IsCancelled() ? 1 : 0;
}

const std::string& ProxyFor(const InternetHandle& session, const std::string& csScheme) {
    if (csScheme == "https")
        return session.csHttpsProxy;
    if (csScheme == "ftp")
        return session.csFtpProxy;
    return session.csHttpProxy;
}

// The options every transfer shares: schemes, time limits, proxy, checks.
void CommonOptions(CURL* pEasy, const InternetHandle& session, const std::string& csScheme,
                   InternetHandle* pOwner) {
    curl_easy_setopt(pEasy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pEasy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(pEasy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(pEasy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(pEasy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(pEasy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(pEasy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(pEasy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!session.csCertificates.empty()) {
        curl_blob certificates{const_cast<char*>(session.csCertificates.data()),
                               session.csCertificates.size(), CURL_BLOB_COPY};
        curl_easy_setopt(pEasy, CURLOPT_CAINFO_BLOB, &certificates);
    }
    // An empty proxy also keeps libcurl from taking one from the environment.
    curl_easy_setopt(pEasy, CURLOPT_PROXY,
                     session.bUseProxy ? ProxyFor(session, csScheme).c_str() : "");
    if (session.bUseProxy && !session.csNoProxy.empty())
        curl_easy_setopt(pEasy, CURLOPT_NOPROXY, session.csNoProxy.c_str());
    if (!session.csAgent.empty())
        curl_easy_setopt(pEasy, CURLOPT_USERAGENT, session.csAgent.c_str());
    curl_easy_setopt(pEasy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(pEasy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(pEasy, CURLOPT_XFERINFODATA, pOwner);
    curl_easy_setopt(pEasy, CURLOPT_ERRORBUFFER, pOwner->szError);
}

// Runs the transfer until the condition holds or it ends. False when the
// caller's cancel came first.
template <typename Condition> bool Pump(InternetHandle* h, Condition condition) {
    while (!h->bDone && !condition()) {
        if (h->pCancel && h->pCancel->IsCancelled())
            return false;
        if (h->bPaused && h->buffer.size() - h->offset < kBufferLimit) {
            h->bPaused = false;
            curl_easy_pause(h->pEasy, CURLPAUSE_CONT);
        }
        int running = 0;
        if (curl_multi_perform(h->pMulti, &running) != CURLM_OK) {
            h->bDone = true;
            h->result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* pMsg = curl_multi_info_read(h->pMulti, &queued)) {
            if (pMsg->msg == CURLMSG_DONE) {
                h->bDone = true;
                h->result = pMsg->data.result;
            }
        }
        if (h->bDone || condition())
            break;
        if (!h->bPaused)
            curl_multi_poll(h->pMulti, nullptr, 0, kPollMilliseconds, nullptr);
    }
    return true;
}

void CloseUrl(InternetHandle* h) {
    if (h->pMulti && h->pEasy)
        curl_multi_remove_handle(h->pMulti, h->pEasy);
    if (h->pEasy)
        curl_easy_cleanup(h->pEasy);
    if (h->pMulti)
        curl_multi_cleanup(h->pMulti);
    if (h->pHeaders)
        curl_slist_free_all(h->pHeaders);
    h->pEasy = nullptr;
    h->pMulti = nullptr;
    h->pHeaders = nullptr;
}

} // namespace

bool CrackUrl(const std::string& csUrl, UrlParts* pParts) {
    size_t colon = csUrl.find("://");
    if (colon == std::string::npos)
        return false;
    UrlParts parts;
    parts.csScheme = Lower(csUrl.substr(0, colon));
    if (parts.csScheme != "http" && parts.csScheme != "https" && parts.csScheme != "ftp")
        return false;
    size_t hostStart = colon + 3;
    size_t pathStart = csUrl.find('/', hostStart);
    std::string authority = csUrl.substr(
        hostStart, pathStart == std::string::npos ? std::string::npos : pathStart - hostStart);
    if (authority.find('@') != std::string::npos)
        authority.erase(0, authority.rfind('@') + 1);
    size_t portColon = authority.rfind(':');
    if (portColon != std::string::npos && authority.find(']', portColon) == std::string::npos) {
        std::string port = authority.substr(portColon + 1);
        authority.erase(portColon);
        if (port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string::npos || std::stoul(port) == 0 ||
            std::stoul(port) > 65535)
            return false;
        parts.wPort = uint16_t(std::stoul(port));
    }
    if (authority.empty())
        return false;
    parts.csHost = authority;
    parts.csPath = pathStart == std::string::npos ? "" : csUrl.substr(pathStart);
    *pParts = parts;
    return true;
}

HINTERNET InternetOpen(const std::string& csAgent, uint32_t dwAccessType) {
    if (dwAccessType != INTERNET_OPEN_TYPE_PRECONFIG && dwAccessType != INTERNET_OPEN_TYPE_DIRECT) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!GlobalInit()) {
        Fail(ERROR_INTERNET_INTERNAL_ERROR);
        return nullptr;
    }
    auto* h = new InternetHandle(InternetHandle::EKind::Session);
    h->csAgent = csAgent;
    h->csCertificates = MachineCertificates();
    if (dwAccessType == INTERNET_OPEN_TYPE_PRECONFIG && !ReadProxySettings(h)) {
        delete h;
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return h;
}

void InternetSetCancel(HINTERNET hSession, std::shared_ptr<InternetCancel> pCancel) {
    if (hSession)
        hSession->pCancel = std::move(pCancel);
}

HINTERNET InternetOpenUrl(HINTERNET hSession, const std::string& csUrl, uint32_t dwFlags) {
    if (!IsKind(hSession, InternetHandle::EKind::Session))
        return nullptr;
    UrlParts parts;
    if (!CrackUrl(csUrl, &parts)) {
        Fail(csUrl.find("://") == std::string::npos ? ERROR_INTERNET_INVALID_URL
                                                    : ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return nullptr;
    }
    auto* h = new InternetHandle(InternetHandle::EKind::Url);
    h->pCancel = hSession->pCancel;
    h->pEasy = curl_easy_init();
    h->pMulti = curl_multi_init();
    if (!h->pEasy || !h->pMulti) {
        CloseUrl(h);
        delete h;
        Fail(ERROR_INTERNET_INTERNAL_ERROR);
        return nullptr;
    }
    CURL* pEasy = h->pEasy;
    curl_easy_setopt(pEasy, CURLOPT_URL, csUrl.c_str());
    CommonOptions(pEasy, *hSession, parts.csScheme, h);
    curl_easy_setopt(pEasy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(pEasy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(pEasy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(pEasy, CURLOPT_WRITEDATA, h);
    curl_easy_setopt(pEasy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(pEasy, CURLOPT_HEADERDATA, h);
    if (dwFlags & (INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE)) {
        h->pHeaders = curl_slist_append(h->pHeaders, "Pragma: no-cache");
        h->pHeaders = curl_slist_append(h->pHeaders, "Cache-Control: no-cache");
        curl_easy_setopt(pEasy, CURLOPT_HTTPHEADER, h->pHeaders);
    }
    curl_multi_add_handle(h->pMulti, pEasy);

    // An FTP answer has no headers: its first bytes (or its end) tell it started.
    const bool bHttpAnswer = parts.csScheme != "ftp" || hSession->bUseProxy;
    bool bGoing = Pump(h, [h, bHttpAnswer] {
        return h->buffer.size() > h->offset || (bHttpAnswer && h->bHeadersDone);
    });
    uint32_t dwError = ERROR_SUCCESS;
    if (!bGoing)
        dwError = ERROR_INTERNET_OPERATION_CANCELLED;
    else if (h->bDone && h->result != CURLE_OK)
        dwError = ErrorFromCurl(h->result);
    long status = 0;
    if (dwError == ERROR_SUCCESS &&
        curl_easy_getinfo(pEasy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && bHttpAnswer &&
        status >= 400)
        dwError = ERROR_INTERNET_EXTENDED_ERROR;
    if (dwError != ERROR_SUCCESS) {
        CloseUrl(h);
        delete h;
        Fail(dwError);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return h;
}

bool InternetReadFile(HINTERNET hFile, void* pBuffer, uint32_t dwToRead, uint32_t* pdwRead) {
    if (!IsKind(hFile, InternetHandle::EKind::Url) || !pdwRead)
        return pdwRead ? false : Fail(ERROR_INVALID_PARAMETER);
    *pdwRead = 0;
    if (!Pump(hFile, [hFile] { return hFile->buffer.size() > hFile->offset; }))
        return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
    size_t available = hFile->buffer.size() - hFile->offset;
    if (available == 0) {
        if (hFile->result != CURLE_OK)
            return Fail(ErrorFromCurl(hFile->result));
        return true;
    }
    size_t count = std::min<size_t>(available, dwToRead);
    std::memcpy(pBuffer, hFile->buffer.data() + hFile->offset, count);
    hFile->offset += count;
    if (hFile->offset == hFile->buffer.size()) {
        hFile->buffer.clear();
        hFile->offset = 0;
    }
    *pdwRead = uint32_t(count);
    return true;
}

bool HttpQueryContentLength(HINTERNET hFile, uint64_t* pqwLength) {
    if (!IsKind(hFile, InternetHandle::EKind::Url))
        return false;
    curl_off_t length = -1;
    if (curl_easy_getinfo(hFile->pEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length < 0)
        return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
    *pqwLength = uint64_t(length);
    return true;
}

HINTERNET InternetConnectFtp(HINTERNET hSession, const std::string& csHost, uint16_t wPort,
                             const std::string& csUser, const std::string& csPassword) {
    if (!IsKind(hSession, InternetHandle::EKind::Session))
        return nullptr;
    if (csHost.empty() || csHost.find_first_of("/@ ") != std::string::npos) {
        Fail(ERROR_INTERNET_INVALID_URL);
        return nullptr;
    }
    auto* h = new InternetHandle(InternetHandle::EKind::Ftp);
    h->pCancel = hSession->pCancel;
    h->bUseProxy = hSession->bUseProxy;
    h->csFtpProxy = hSession->csFtpProxy;
    h->csNoProxy = hSession->csNoProxy;
    h->csAgent = hSession->csAgent;
    h->csCertificates = hSession->csCertificates;
    h->csHost = csHost;
    h->wPort = wPort ? wPort : uint16_t(INTERNET_DEFAULT_FTP_PORT);
    h->csUser = csUser;
    h->csPassword = csPassword;
    SetLastError(ERROR_SUCCESS);
    return h;
}

bool FtpFindFirstFile(HINTERNET hConnect, const std::string& csPath, FindData* pFound) {
    if (!IsKind(hConnect, InternetHandle::EKind::Ftp) || !pFound)
        return pFound ? false : Fail(ERROR_INVALID_PARAMETER);
    if (hConnect->pCancel && hConnect->pCancel->IsCancelled())
        return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
    CURL* pEasy = curl_easy_init();
    if (!pEasy)
        return Fail(ERROR_INTERNET_INTERNAL_ERROR);
    std::string path = csPath.empty() || csPath[0] != '/' ? "/" + csPath : csPath;
    std::string url = "ftp://" + hConnect->csHost + ":" + std::to_string(hConnect->wPort) + path;
    curl_easy_setopt(pEasy, CURLOPT_URL, url.c_str());
    CommonOptions(pEasy, *hConnect, "ftp", hConnect);
    if (!hConnect->csUser.empty()) {
        curl_easy_setopt(pEasy, CURLOPT_USERNAME, hConnect->csUser.c_str());
        curl_easy_setopt(pEasy, CURLOPT_PASSWORD, hConnect->csPassword.c_str());
    }
    // The size comes from the site's SIZE answer; no data is transferred, and
    // what libcurl makes of the answer as headers is dropped.
    curl_easy_setopt(pEasy, CURLOPT_NOBODY, 1L);
    auto drop = +[](char*, size_t size, size_t count, void*) { return size * count; };
    curl_easy_setopt(pEasy, CURLOPT_HEADERFUNCTION, drop);
    curl_easy_setopt(pEasy, CURLOPT_WRITEFUNCTION, drop);
    CURLcode rc = curl_easy_perform(pEasy);
    curl_off_t length = -1;
    if (rc == CURLE_OK)
        curl_easy_getinfo(pEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    curl_easy_cleanup(pEasy);
    if (rc == CURLE_REMOTE_FILE_NOT_FOUND || rc == CURLE_FTP_COULDNT_RETR_FILE ||
        (rc == CURLE_OK && length < 0))
        return Fail(ERROR_NO_MORE_FILES);
    if (rc != CURLE_OK)
        return Fail(ErrorFromCurl(rc));
    size_t slash = path.find_last_of('/');
    pFound->csName = path.substr(slash + 1);
    pFound->dwAttributes = FILE_ATTRIBUTE_NORMAL;
    pFound->qwSize = uint64_t(length);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool InternetCloseHandle(HINTERNET hInternet) {
    if (!hInternet)
        return Fail(ERROR_INVALID_HANDLE);
    CloseUrl(hInternet);
    delete hInternet;
    return true;
}

} // namespace platform
