// CTestPage: sends a short test page to a workstation printer through the
// spooler, as a print job of its own, so a user can see that the queue works.
#pragma once

#include <cstdint>
#include <string>

class CTestPage {
public:
    // The job's document name in the spooler.
    static constexpr const char* kDocumentName = "Zantor Ambrel test page";

    // The page's text for a printer: plain text, which every driver type of
    // the package prints as it comes, ended by a form feed.
    static std::string PageText(const std::string& csPrinterName, const std::string& csPortName,
                                const std::string& csDriverName);
    // Opens the printer, starts a job, writes the page and ends the job. True
    // with the spooler's job id; false with the last error of the failing call.
    bool Print(const std::string& csPrinterName, uint32_t* puiJobId);
};
