// The spooler's IPP requests to the root's CUPS scheduler.
#include "cups_client.h"

#include "platform/error.h"
#include "platform/spooler.h"

#include <cups/cups.h>
#include <memory>
#include <unistd.h>

namespace platform::posix::cups {

namespace {

constexpr int kConnectMs = 5000;
const char* const kBannerFolder = "/usr/share/cups/banners/";

struct IppFree {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppPtr = std::unique_ptr<ipp_t, IppFree>;

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
using HttpPtr = std::unique_ptr<http_t, HttpClose>;

ipp_t* NewRequest(ipp_op_t op, const std::string& csCupsName) {
    ipp_t* request = ippNewRequest(op);
    if (!csCupsName.empty())
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                     QueueUri(csCupsName).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

// Sends the request (and the file, when one is given); false with the last
// error set unless the scheduler did it.
bool Send(ipp_t* request, const char* pszResource, const std::string& csFile,
          IppPtr* pResponse = nullptr) {
    HttpPtr http(Connect());
    if (!http) {
        ippDelete(request);
        return false;
    }
    IppPtr response(csFile.empty()
                        ? cupsDoRequest(http.get(), request, pszResource)
                        : cupsDoFileRequest(http.get(), request, pszResource, csFile.c_str()));
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING)
        return FailFromCups();
    if (pResponse)
        *pResponse = std::move(response);
    return true;
}

} // namespace

std::string QueueUri(const std::string& csCupsName) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", csCupsName.c_str());
    return uri;
}

bool FailFromCups() {
    return Fail(ErrorFromIppStatus(int(cupsLastError())));
}

http_t* Connect() {
    http_t* http = httpConnect2(CupsServer().c_str(), ippPort(), nullptr, AF_UNSPEC,
                                HTTP_ENCRYPTION_NEVER, 1, kConnectMs, nullptr);
    if (!http)
        Fail(RPC_S_SERVER_UNAVAILABLE);
    return http;
}

bool SchedulerAnswers() {
    HttpPtr http(Connect());
    return http != nullptr;
}

bool AddOrModifyQueue(const SCupsQueue& queue) {
    ipp_t* request = NewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue.csCupsName);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr,
                 queue.csDeviceUri.c_str());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr,
                 queue.csInfo.c_str());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-location", nullptr,
                 queue.csLocation.c_str());
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-shared", queue.bShared);
    // Without these a new queue is stopped and refuses jobs.
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    const char* sheets[2] = {queue.csBanner.c_str(), "none"};
    ippAddStrings(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "job-sheets-default", 2, nullptr, sheets);
    if (queue.csPpdFile.empty())
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "ppd-name", nullptr, "raw");
    // An uploaded PPD takes milliseconds; a drv:/// name is compiled on every add.
    return Send(request, "/admin/", queue.csPpdFile);
}

bool QueueExists(const std::string& csCupsName, bool* pbExists) {
    ipp_t* request = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, csCupsName);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-name");
    *pbExists = Send(request, "/", "");
    return *pbExists || cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
}

bool DeleteQueue(const std::string& csCupsName) {
    if (Send(NewRequest(IPP_OP_CUPS_DELETE_PRINTER, csCupsName), "/admin/", ""))
        return true;
    return cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
}

bool ListQueueNames(std::vector<std::string>* pNames) {
    pNames->clear();
    ipp_t* request = NewRequest(IPP_OP_CUPS_GET_PRINTERS, "");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-name");
    IppPtr response;
    if (!Send(request, "/", "", &response)) {
        // A scheduler without queues answers "not found".
        return cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
    }
    for (ipp_attribute_t* attr = ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME);
         attr; attr = ippFindNextAttribute(response.get(), "printer-name", IPP_TAG_NAME))
        pNames->push_back(ippGetString(attr, 0, nullptr));
    return true;
}

bool HasBanner(const std::string& csName) {
    if (csName.empty() || csName.find('/') != std::string::npos || csName[0] == '.')
        return false;
    return ::access((kBannerFolder + csName).c_str(), R_OK) == 0;
}

} // namespace platform::posix::cups
