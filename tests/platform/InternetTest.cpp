// The internet facility against the tests' own download site (HTTP and FTP on
// loopback in a private network namespace).
#include "DownloadSite.h"
#include "TestCertificates.h"
#include "TestSupport.h"

#include "platform/error.h"
#include "platform/internet.h"
#include "platform/registry.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace platform;

namespace {

const char* const kSettings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

class InternetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(site.Ready()) << site.Error();
        std::filesystem::create_directories(site.Path("/dir"));
        content.resize(300 * 1024 + 17);
        for (size_t i = 0; i < content.size(); ++i)
            content[i] = char(i * 7 + i / 1024);
        vextest::WriteFile(site.Path("/dir/file.bin"), content);
    }
    void SetProxy(uint32_t dwEnable, const std::string& csServer) {
        HKEY hKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_CURRENT_USER, kSettings, &hKey));
        RegSetDword(hKey, "ProxyEnable", dwEnable);
        RegSetString(hKey, "ProxyServer", csServer);
        RegCloseKey(hKey);
    }
    // Reads an open address to its end in blocks of 1024 bytes.
    static bool ReadAll(HINTERNET hUrl, std::string* pcsText) {
        char block[1024];
        uint32_t dwRead = 0;
        pcsText->clear();
        while (InternetReadFile(hUrl, block, sizeof block, &dwRead)) {
            if (dwRead == 0)
                return true;
            pcsText->append(block, dwRead);
        }
        return false;
    }

    vextest::TempRoot root;
    vextest::CDownloadSite site;
    std::string content;
};

TEST_F(InternetTest, HttpAndFtpDownloadsReadTheWholeFileInBlocks) {
    HINTERNET hSession = InternetOpen("", INTERNET_OPEN_TYPE_PRECONFIG);
    ASSERT_NE(nullptr, hSession);
    for (const std::string& root : {site.HttpRoot(), site.FtpRoot()}) {
        HINTERNET hUrl = InternetOpenUrl(hSession, root + "/dir/file.bin",
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE);
        ASSERT_NE(nullptr, hUrl) << root << ": " << GetLastError();
        std::string text;
        EXPECT_TRUE(ReadAll(hUrl, &text)) << root;
        EXPECT_TRUE(text == content) << root << ": " << text.size() << " bytes";
        InternetCloseHandle(hUrl);
    }
    HINTERNET hUrl = InternetOpenUrl(hSession, site.HttpRoot() + "/dir/file.bin", 0);
    ASSERT_NE(nullptr, hUrl);
    uint64_t qwLength = 0;
    EXPECT_TRUE(HttpQueryContentLength(hUrl, &qwLength));
    EXPECT_EQ(content.size(), qwLength);
    InternetCloseHandle(hUrl);
    InternetCloseHandle(hSession);
}

TEST_F(InternetTest, MissingFilesAndClosedPortsFailTheOpen) {
    HINTERNET hSession = InternetOpen("", INTERNET_OPEN_TYPE_DIRECT);
    ASSERT_NE(nullptr, hSession);
    // A 404 page is no download.
    EXPECT_EQ(nullptr, InternetOpenUrl(hSession, site.HttpRoot() + "/dir/none.bin", 0));
    EXPECT_EQ(ERROR_INTERNET_EXTENDED_ERROR, GetLastError());
    EXPECT_EQ(nullptr, InternetOpenUrl(hSession, site.FtpRoot() + "/dir/none.bin", 0));
    EXPECT_NE(ERROR_SUCCESS, GetLastError());
    EXPECT_EQ(nullptr, InternetOpenUrl(hSession, "http://127.0.0.1:9/x", 0));
    EXPECT_EQ(ERROR_INTERNET_CANNOT_CONNECT, GetLastError());
    EXPECT_EQ(nullptr, InternetOpenUrl(hSession, "file:///etc/passwd", 0));
    EXPECT_EQ(ERROR_INTERNET_UNRECOGNIZED_SCHEME, GetLastError());
    InternetCloseHandle(hSession);
}

TEST_F(InternetTest, FtpFindGivesTheSizeOfAFileOnTheSite) {
    HINTERNET hSession = InternetOpen("", INTERNET_OPEN_TYPE_PRECONFIG);
    HINTERNET hFtp = InternetConnectFtp(hSession, "127.0.0.1", INTERNET_DEFAULT_FTP_PORT, "", "");
    ASSERT_NE(nullptr, hFtp);
    FindData found;
    ASSERT_TRUE(FtpFindFirstFile(hFtp, "/dir/file.bin", &found)) << GetLastError();
    EXPECT_EQ("file.bin", found.csName);
    EXPECT_EQ(content.size(), found.qwSize);
    EXPECT_FALSE(FtpFindFirstFile(hFtp, "/dir/none.bin", &found));
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    InternetCloseHandle(hFtp);
    InternetCloseHandle(hSession);
}

TEST_F(InternetTest, PreconfiguredAccessGoesThroughTheUsersProxy) {
    // The web server answers an absolute address as a proxy would; the host
    // name exists nowhere else, so only the proxy can reach it.
    SetProxy(1, "127.0.0.1:80");
    const std::string url = "http://drivers.invalid/dir/file.bin";
    HINTERNET hProxied = InternetOpen("", INTERNET_OPEN_TYPE_PRECONFIG);
    ASSERT_NE(nullptr, hProxied);
    HINTERNET hUrl = InternetOpenUrl(hProxied, url, INTERNET_FLAG_RELOAD);
    ASSERT_NE(nullptr, hUrl) << GetLastError();
    uint64_t qwLength = 0;
    EXPECT_TRUE(HttpQueryContentLength(hUrl, &qwLength));
    EXPECT_EQ(content.size(), qwLength);
    InternetCloseHandle(hUrl);
    InternetCloseHandle(hProxied);

    HINTERNET hDirect = InternetOpen("", INTERNET_OPEN_TYPE_DIRECT);
    EXPECT_EQ(nullptr, InternetOpenUrl(hDirect, url, 0));
    EXPECT_EQ(ERROR_INTERNET_NAME_NOT_RESOLVED, GetLastError());
    InternetCloseHandle(hDirect);

    // A proxy switched on without an address cannot be preconfigured.
    SetProxy(1, "");
    EXPECT_EQ(nullptr, InternetOpen("", INTERNET_OPEN_TYPE_PRECONFIG));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    SetProxy(0, "");
    HINTERNET hSession = InternetOpen("", INTERNET_OPEN_TYPE_PRECONFIG);
    EXPECT_NE(nullptr, hSession);
    InternetCloseHandle(hSession);
}

TEST_F(InternetTest, ACancelEndsAReadInProgress) {
    std::string big(8 * 1024 * 1024, 'x');
    vextest::WriteFile(site.Path("/dir/big.bin"), big);
    auto pCancel = std::make_shared<InternetCancel>();
    HINTERNET hSession = InternetOpen("", INTERNET_OPEN_TYPE_DIRECT);
    InternetSetCancel(hSession, pCancel);
    HINTERNET hUrl = InternetOpenUrl(hSession, site.HttpRoot() + "/dir/big.bin", 0);
    ASSERT_NE(nullptr, hUrl);
    char block[1024];
    uint32_t dwRead = 0;
    ASSERT_TRUE(InternetReadFile(hUrl, block, sizeof block, &dwRead));
    pCancel->Cancel();
    // What was buffered may still be read; the transfer itself has ended.
    uint64_t qwRest = 0;
    while (InternetReadFile(hUrl, block, sizeof block, &dwRead) && dwRead > 0)
        qwRest += dwRead;
    EXPECT_EQ(ERROR_INTERNET_OPERATION_CANCELLED, GetLastError());
    EXPECT_LT(qwRest, big.size() / 2);
    InternetCloseHandle(hUrl);
    EXPECT_EQ(nullptr, InternetOpenUrl(hSession, site.HttpRoot() + "/dir/file.bin", 0));
    EXPECT_EQ(ERROR_INTERNET_OPERATION_CANCELLED, GetLastError());
    InternetCloseHandle(hSession);
}

// https against the tests' own certificate authority: what a download's
// certificate check lets through and what it refuses.
class HttpsTest : public InternetTest {
protected:
    static constexpr uint16_t kTrusted = 8443, kSelfSigned = 8444, kOtherHost = 8445;

    void SetUp() override {
        InternetTest::SetUp();
        ASSERT_TRUE(certificates.Ready()) << certificates.Error();
        ASSERT_TRUE(site.ServeHttps(kTrusted, certificates.Issue("site", "IP:127.0.0.1")));
        ASSERT_TRUE(site.ServeHttps(kSelfSigned, certificates.SelfSigned("self", "IP:127.0.0.1")));
        ASSERT_TRUE(site.ServeHttps(kOtherHost,
                                    certificates.Issue("other", "DNS:drivers.example.invalid")));
    }
    // Opens and reads a file of the site; the open's last error on failure.
    uint32_t Download(uint16_t wPort, std::string* pcsText) {
        HINTERNET hSession = InternetOpen("", INTERNET_OPEN_TYPE_DIRECT);
        if (!hSession)
            return GetLastError();
        HINTERNET hUrl = InternetOpenUrl(hSession, site.HttpsRoot(wPort) + "/dir/file.bin",
                                         INTERNET_FLAG_RELOAD);
        uint32_t dwError = hUrl ? ERROR_SUCCESS : GetLastError();
        if (hUrl && !ReadAll(hUrl, pcsText))
            dwError = GetLastError();
        InternetCloseHandle(hUrl);
        InternetCloseHandle(hSession);
        return dwError;
    }

    vextest::CTestCertificates certificates;
};

TEST_F(HttpsTest, AnAuthorityTheMachineTrustsLetsTheDownloadThrough) {
    std::string text;
    // Not yet among the machine's roots: refused like any stranger.
    EXPECT_EQ(ERROR_INTERNET_SECURE_FAILURE, Download(kTrusted, &text));
    ASSERT_TRUE(certificates.Trust());
    ASSERT_EQ(ERROR_SUCCESS, Download(kTrusted, &text));
    EXPECT_TRUE(text == content) << text.size() << " bytes";
}

TEST_F(HttpsTest, ASelfSignedCertificateOrAnotherHostsNameIsRefused) {
    ASSERT_TRUE(certificates.Trust());
    std::string text;
    EXPECT_EQ(ERROR_INTERNET_SECURE_FAILURE, Download(kSelfSigned, &text));
    EXPECT_EQ(ERROR_INTERNET_SECURE_FAILURE, Download(kOtherHost, &text));
    EXPECT_TRUE(text.empty());
    // The refusals are the certificate's, not the site's: the same file over http.
    HINTERNET hSession = InternetOpen("", INTERNET_OPEN_TYPE_DIRECT);
    HINTERNET hUrl = InternetOpenUrl(hSession, site.HttpRoot() + "/dir/file.bin", 0);
    EXPECT_NE(nullptr, hUrl);
    InternetCloseHandle(hUrl);
    InternetCloseHandle(hSession);
}

TEST(CrackUrlTest, TakesSchemeHostPortAndPath) {
    UrlParts parts;
    ASSERT_TRUE(CrackUrl("FTP://user@drivers.example:2121/a/b.exe", &parts));
    EXPECT_EQ("ftp", parts.csScheme);
    EXPECT_EQ("drivers.example", parts.csHost);
    EXPECT_EQ(2121, parts.wPort);
    EXPECT_EQ("/a/b.exe", parts.csPath);
    ASSERT_TRUE(CrackUrl("https://127.0.0.1", &parts));
    EXPECT_EQ(0, parts.wPort);
    EXPECT_EQ("", parts.csPath);
    EXPECT_FALSE(CrackUrl("gopher://x/", &parts));
    EXPECT_FALSE(CrackUrl("http://:80/", &parts));
    EXPECT_FALSE(CrackUrl("http://x:99999/", &parts));
    EXPECT_FALSE(CrackUrl("no address", &parts));
}

} // namespace
