// The registry store: keys, values, errors and use by several processes.
#include "TestSupport.h"

#include "platform/error.h"
#include "platform/registry.h"

#include <gtest/gtest.h>
#include <thread>

using namespace platform;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    vextest::TempRoot root;
};

TEST_F(RegistryTest, FreshMachineHasTheStandardKeys) {
    HKEY hKey = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE", &hKey));
    RegCloseKey(hKey);
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyEx(HKEY_CURRENT_USER, "Software", &hKey));
    RegCloseKey(hKey);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nope", &hKey));
}

TEST_F(RegistryTest, KeysAreCreatedOnTheWayAndOpenInAnyCase) {
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B\\C", &hKey));
    RegCloseKey(hKey);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyEx(HKEY_LOCAL_MACHINE, "software\\a\\b", &hKey));
    std::string name;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyEx(hKey, 0, &name));
    EXPECT_EQ("C", name); // the spelling of its creation
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyEx(hKey, 1, &name));
    RegCloseKey(hKey);
    // The hives are apart.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\A", &hKey));
}

TEST_F(RegistryTest, ValuesKeepTypeAndBytes) {
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\V", &hKey));
    EXPECT_EQ(ERROR_SUCCESS, RegSetDword(hKey, "Number", 0xEA000000));
    EXPECT_EQ(ERROR_SUCCESS, RegSetString(hKey, "Text", "hello"));
    const uint8_t blob[] = {0, 1, 2, 0xFF};
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueEx(hKey, "Blob", REG_BINARY, blob, sizeof blob));

    uint32_t number = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryDword(hKey, "NUMBER", &number));
    EXPECT_EQ(0xEA000000u, number);
    std::string text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryString(hKey, "text", &text));
    EXPECT_EQ("hello", text);

    uint32_t type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueEx(hKey, "Text", &type, nullptr, &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(6u, size); // with its NUL
    uint8_t small[2];
    size = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueEx(hKey, "Blob", &type, small, &size));
    EXPECT_EQ(4u, size);

    std::string name;
    std::vector<uint8_t> data;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValue(hKey, 0, &name, &type, &data));
    EXPECT_EQ("Blob", name);
    EXPECT_EQ(std::vector<uint8_t>(blob, blob + 4), data);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValue(hKey, 3, &name, &type, &data));

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValue(hKey, "Number"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValue(hKey, "Number"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryDword(hKey, "Number", &number));
    RegCloseKey(hKey);
}

TEST_F(RegistryTest, OneValueOfEverySubkeyAtOnce) {
    HKEY hPorts = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SYSTEM\\Ports", &hPorts));
    const struct {
        const char* pszKey;
        const char* pszValue; // nullptr: the key has no "Config"
        uint8_t byte;
    } kKeys[] = {{"P2", "Config", 2},
                 {"p1", "CONFIG", 1},
                 {"P3", nullptr, 3},
                 {"P2\\Deeper", "Config", 9},
                 {"P4", "Other", 4}};
    for (const auto& k : kKeys) {
        HKEY hKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(hPorts, k.pszKey, &hKey));
        if (k.pszValue)
            RegSetValueEx(hKey, k.pszValue, REG_BINARY, &k.byte, 1);
        RegCloseKey(hKey);
    }
    // Direct subkeys with the value, in name order, whatever the case of the
    // value's name; a subkey's own subkeys are not looked at.
    std::vector<SSubkeyValue> values;
    ASSERT_EQ(ERROR_SUCCESS, RegQuerySubkeyValues(hPorts, "config", &values));
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].csSubkey, "p1");
    EXPECT_EQ(values[0].data, std::vector<uint8_t>{1});
    EXPECT_EQ(values[0].dwType, uint32_t(REG_BINARY));
    EXPECT_EQ(values[1].csSubkey, "P2");
    EXPECT_EQ(values[1].data, std::vector<uint8_t>{2});
    ASSERT_EQ(ERROR_SUCCESS, RegQuerySubkeyValues(hPorts, "Missing", &values));
    EXPECT_TRUE(values.empty());

    HKEY hEmpty = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SYSTEM\\Empty", &hEmpty));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Empty"));
    EXPECT_EQ(ERROR_KEY_DELETED, RegQuerySubkeyValues(hEmpty, "Config", &values));
    RegCloseKey(hEmpty);
    RegCloseKey(hPorts);
}

TEST_F(RegistryTest, StampMovesWithEveryWriteAndOnlyThen) {
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\S", &hKey));
    const ChangeStamp first = RegChangeStamp();
    ASSERT_TRUE(first.Valid());
    uint32_t dwValue = 0;
    RegQueryDword(hKey, "x", &dwValue);
    std::vector<SSubkeyValue> values;
    RegQuerySubkeyValues(HKEY_LOCAL_MACHINE, "x", &values);
    EXPECT_EQ(RegChangeStamp(), first); // reads leave it
    RegSetDword(hKey, "x", 1);
    const ChangeStamp own = RegChangeStamp();
    EXPECT_NE(own, first);
    // Another thread has a connection of its own, as another process has.
    std::thread([] {
        HKEY hOther = nullptr;
        RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\S", &hOther);
        RegSetDword(hOther, "y", 2);
        RegCloseKey(hOther);
    }).join();
    const ChangeStamp other = RegChangeStamp();
    EXPECT_NE(other, own);
    EXPECT_EQ(RegChangeStamp(), other);
    RegCloseKey(hKey);
}

TEST_F(RegistryTest, DeletingKeys) {
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\D\\E", &hKey));
    RegSetDword(hKey, "x", 1);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\D"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\D\\E"));
    // A handle to a deleted key answers 1018 to every call, reads included.
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetDword(hKey, "x", 2));
    uint32_t dwGone = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryDword(hKey, "x", &dwGone));
    EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValue(hKey, "x"));
    std::string csName;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyEx(hKey, 0, &csName));
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumValue(hKey, 0, &csName, nullptr, nullptr));
    EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteKey(hKey, "F"));
    HKEY hSub = nullptr;
    EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyEx(hKey, "F", &hSub));
    EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyEx(hKey, "F", &hSub));
    // Nothing was written under the deleted key's name.
    HKEY hAgain = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\D\\E", &hAgain));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValue(hAgain, 0, &csName, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\D\\E"));
    RegCloseKey(hAgain);
    RegCloseKey(hKey);
    // Its values went with it.
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\D\\E", &hKey));
    uint32_t value;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryDword(hKey, "x", &value));
    RegCloseKey(hKey);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nope"));
}

// Writes 200 values of its own into one shared key.
VEX_TEST_HELPER(registry_writer) {
    HKEY hKey = nullptr;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared", &hKey) != ERROR_SUCCESS)
        return 1;
    for (int i = 0; i < 200; ++i) {
        if (RegSetDword(hKey, args.at(0) + "-" + std::to_string(i), uint32_t(i)) != ERROR_SUCCESS)
            return 2;
    }
    RegCloseKey(hKey);
    return 0;
}

TEST_F(RegistryTest, SeveralProcessesAndThreadsLoseNothing) {
    std::vector<pid_t> pids;
    for (const char* writer : {"p1", "p2", "p3"})
        pids.push_back(vextest::StartHelper("registry_writer", {writer}));
    std::vector<std::thread> threads;
    for (const char* writer : {"t1", "t2"})
        threads.emplace_back([writer] { EXPECT_EQ(0, VexHelper_registry_writer({writer})); });
    for (auto& t : threads)
        t.join();
    for (pid_t pid : pids)
        EXPECT_EQ(0, vextest::WaitHelper(pid));

    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared", &hKey));
    std::string name;
    uint32_t count = 0;
    while (RegEnumValue(hKey, count, &name, nullptr, nullptr) == ERROR_SUCCESS)
        ++count;
    EXPECT_EQ(1000u, count);
    RegCloseKey(hKey);
}

} // namespace
