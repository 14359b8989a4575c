// The registry on the real Reg* calls: the answers the POSIX store gives, from
// the system's own keys.
#include "platform/registry.h"
#include "Helpers.h"
#include "platform/error.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

const std::string kTestKey = win32test::UniqueName("SOFTWARE\\VexWin32Test");

// A fresh key of the test's own under HKLM, removed with its subkeys after.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Remove();
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, kTestKey, &hKey));
    }
    void TearDown() override {
        if (hKey)
            RegCloseKey(hKey);
        Remove();
    }
    static void Remove() {
        HKEY h = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kTestKey, &h) != ERROR_SUCCESS)
            return;
        for (std::string csName; RegEnumKeyEx(h, 0, &csName) == ERROR_SUCCESS;) {
            if (RegDeleteKey(h, csName) != ERROR_SUCCESS)
                break;
        }
        RegCloseKey(h);
        RegDeleteKey(HKEY_LOCAL_MACHINE, kTestKey);
    }
    HKEY hKey = nullptr;
};

TEST_F(RegistryTest, ValuesKeepTheirTypeAndSizeAndAShortBufferGetsMoreData) {
    EXPECT_EQ(ERROR_SUCCESS, RegSetDword(hKey, "Number", 0xA1B2C3D4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetString(hKey, "Text", "Working directory"));
    const uint8_t bytes[] = {0, 1, 2, 0xFF};
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueEx(hKey, "Bytes", REG_BINARY, bytes, sizeof bytes));

    uint32_t dwValue = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryDword(hKey, "number", &dwValue)); // any case
    EXPECT_EQ(0xA1B2C3D4u, dwValue);
    std::string csText;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryString(hKey, "Text", &csText));
    EXPECT_EQ("Working directory", csText);

    uint32_t dwType = 0, cb = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueEx(hKey, "Bytes", &dwType, nullptr, &cb));
    EXPECT_EQ(uint32_t(REG_BINARY), dwType);
    EXPECT_EQ(4u, cb);
    uint8_t small[2];
    cb = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueEx(hKey, "Bytes", nullptr, small, &cb));
    EXPECT_EQ(4u, cb);

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryDword(hKey, "Missing", &dwValue));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValue(hKey, "Number"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValue(hKey, "Number"));
}

TEST_F(RegistryTest, EnumerationsComeInNameOrder) {
    // Created out of order, with mixed case: the system lists values in the
    // order they were written.
    for (const char* pszName : {"delta", "Alpha", "charlie", "Bravo"}) {
        EXPECT_EQ(ERROR_SUCCESS, RegSetDword(hKey, pszName, 1));
        HKEY hSub = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(hKey, pszName, &hSub));
        if (pszName[0] != 'c') {
            EXPECT_EQ(ERROR_SUCCESS, RegSetString(hSub, "Port", std::string(pszName) + "-port"));
        }
        RegCloseKey(hSub);
    }
    const std::vector<std::string> expected = {"Alpha", "Bravo", "charlie", "delta"};
    std::vector<std::string> keys, values;
    std::string csName;
    for (uint32_t i = 0; RegEnumKeyEx(hKey, i, &csName) == ERROR_SUCCESS; ++i)
        keys.push_back(csName);
    uint32_t dwType = 0;
    std::vector<uint8_t> data;
    for (uint32_t i = 0; RegEnumValue(hKey, i, &csName, &dwType, &data) == ERROR_SUCCESS; ++i) {
        values.push_back(csName);
        EXPECT_EQ(uint32_t(REG_DWORD), dwType);
        EXPECT_EQ(4u, data.size());
    }
    EXPECT_EQ(expected, keys);
    EXPECT_EQ(expected, values);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyEx(hKey, 4, &csName));

    // The subkey without the value is left out.
    std::vector<SSubkeyValue> ports;
    ASSERT_EQ(ERROR_SUCCESS, RegQuerySubkeyValues(hKey, "Port", &ports));
    ASSERT_EQ(3u, ports.size());
    EXPECT_EQ("Alpha", ports[0].csSubkey);
    EXPECT_EQ("delta", ports[2].csSubkey);
    EXPECT_EQ("delta-port", std::string(ports[2].data.begin(), ports[2].data.end() - 1));
}

TEST_F(RegistryTest, AKeyWithSubkeysStaysAndADeletedKeysHandleSaysSo) {
    HKEY hChild = nullptr, hGrandChild = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(hKey, "Child\\GrandChild", &hGrandChild));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyEx(hKey, "child", &hChild));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKey(hKey, "Child"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKey(hChild, "GrandChild"));
    uint32_t dwValue = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryDword(hGrandChild, "x", &dwValue));
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetDword(hGrandChild, "x", 1));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hGrandChild));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hChild));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKey(hKey, "Child"));
    HKEY hGone = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyEx(hKey, "Child", &hGone));
    // The hives themselves are never closed.
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE", &hGone));
    RegCloseKey(hGone);
}

} // namespace
