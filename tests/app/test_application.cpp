#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Application.h"

namespace {

const char* const kTestSubKey = "TestH2Registry";

bool KeyExists(const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void WriteRaw(const std::string& path, const char* name, DWORD type, const void* data,
              DWORD size)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0,
                                             KEY_WRITE, NULL, &key, NULL));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

// Reads a value below HKCU directly, without the helpers under test.
bool ReadRaw(const std::string& path, const char* name, DWORD* type, std::string* data)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buffer[512];
    DWORD size = sizeof(buffer);
    LONG result = RegQueryValueExA(key, name, NULL, type, (BYTE*)buffer, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return false;
    data->assign(buffer, size);
    return true;
}

// Registry helpers work on a test-only sub-key of the version key, removed
// afterwards. The version key itself stays: other tests may be using it.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override { SHDeleteKeyA(HKEY_CURRENT_USER, TestPath().c_str()); }
    void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, TestPath().c_str()); }
    static std::string TestPath() { return std::string(SPIRALIX_REGISTRY_KEY "\\") + kTestSubKey; }

    PApplication app_{GetModuleHandleA(NULL)};
};

TEST_F(RegistryTest, ValuesRoundTripThroughTheirOwnTypes)
{
    const std::string nested = std::string(kTestSubKey) + "\\Windows\\Quaternion\\Panels";
    EXPECT_EQ(0, app_.SetRegistryString(nested.c_str(), "Name", "Spiral"));
    EXPECT_EQ(0, app_.SetRegistryDword(kTestSubKey, "Count", 0xFEDCBA98u));
    const unsigned char blob[6] = {1, 0, 255, 7, 0, 9};
    EXPECT_EQ(0, app_.SetRegistryBinary(kTestSubKey, "Blob", blob, sizeof(blob)));

    char text[100];
    EXPECT_EQ(0, app_.GetRegistryString(nested.c_str(), "Name", text));
    EXPECT_STREQ("Spiral", text);
    DWORD type;
    std::string raw;
    ASSERT_TRUE(ReadRaw(TestPath() + "\\Windows\\Quaternion\\Panels", "Name", &type, &raw));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(std::string("Spiral", 7), raw) << "the terminating zero is stored";

    DWORD number = 0;
    EXPECT_EQ(0, app_.GetRegistryDword(kTestSubKey, "Count", &number));
    EXPECT_EQ(0xFEDCBA98u, number);

    unsigned char read[6] = {0};
    EXPECT_EQ(0, app_.GetRegistryBinary(kTestSubKey, "Blob", read, sizeof(read)));
    EXPECT_EQ(0, memcmp(blob, read, sizeof(blob)));
}

TEST_F(RegistryTest, StringReadFailsWithEmptyTextForLongMissingOrOtherValues)
{
    std::string fits(98, 'x');  // 99 bytes with the zero
    std::string tooLong(99, 'y');  // 100 bytes with the zero
    ASSERT_EQ(0, app_.SetRegistryString(kTestSubKey, "Fits", fits.c_str()));
    ASSERT_EQ(0, app_.SetRegistryString(kTestSubKey, "TooLong", tooLong.c_str()));
    ASSERT_EQ(0, app_.SetRegistryString(kTestSubKey, "Longer", std::string(300, 'z').c_str()));
    ASSERT_EQ(0, app_.SetRegistryDword(kTestSubKey, "Number", 5));
    WriteRaw(TestPath(), "Expand", REG_EXPAND_SZ, "abc", 4);

    char text[100];
    EXPECT_EQ(0, app_.GetRegistryString(kTestSubKey, "Fits", text));
    EXPECT_EQ(fits, text);

    for (const char* name : {"TooLong", "Longer", "Number", "Expand", "Missing"}) {
        strcpy(text, "stale");
        EXPECT_EQ(1, app_.GetRegistryString(kTestSubKey, name, text)) << name;
        EXPECT_STREQ("", text) << name;
    }
    strcpy(text, "stale");
    EXPECT_EQ(1, app_.GetRegistryString("NoSuchKeyH2", "Fits", text));
    EXPECT_STREQ("", text);
}

TEST_F(RegistryTest, StringWithoutTerminatingZeroIsReadSafely)
{
    char unterminated[5] = {'a', 'b', 'c', 'd', 'e'};
    WriteRaw(TestPath(), "Raw", REG_SZ, unterminated, sizeof(unterminated));
    char text[100];
    memset(text, '#', sizeof(text));
    EXPECT_EQ(0, app_.GetRegistryString(kTestSubKey, "Raw", text));
    EXPECT_STREQ("abcde", text);
}

TEST_F(RegistryTest, DwordReadAcceptsOnlyDwordsAndOtherwiseGivesZero)
{
    ASSERT_EQ(0, app_.SetRegistryString(kTestSubKey, "Text", "1"));
    ASSERT_EQ(0, app_.SetRegistryBinary(kTestSubKey, "Bytes", "\1\0\0\0", 4));
    for (const char* name : {"Text", "Bytes", "Missing"}) {
        DWORD value = 123;
        EXPECT_EQ(1, app_.GetRegistryDword(kTestSubKey, name, &value)) << name;
        EXPECT_EQ(0u, value) << name;
    }
}

TEST_F(RegistryTest, BinaryReadAcceptsOnlyBinaryThatFits)
{
    const unsigned char blob[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(0, app_.SetRegistryBinary(kTestSubKey, "Blob", blob, sizeof(blob)));
    ASSERT_EQ(0, app_.SetRegistryDword(kTestSubKey, "Number", 7));
    unsigned char buffer[8] = {0};
    EXPECT_EQ(1, app_.GetRegistryBinary(kTestSubKey, "Blob", buffer, 4)) << "too small";
    EXPECT_EQ(1, app_.GetRegistryBinary(kTestSubKey, "Number", buffer, sizeof(buffer)));
    EXPECT_EQ(1, app_.GetRegistryBinary(kTestSubKey, "Missing", buffer, sizeof(buffer)));
}

// ------------------------------------------------- version-key migration

class VersionKeyTest : public testing::Test {
protected:
    void TearDown() override
    {
        for (const std::string& name : made_)
            SHDeleteKeyA(HKEY_CURRENT_USER, (std::string(SPIRALIX_REGISTRY_ROOT "\\") + name).c_str());
    }
    void Make(const std::string& name)
    {
        std::string path = std::string(SPIRALIX_REGISTRY_ROOT "\\") + name;
        SHDeleteKeyA(HKEY_CURRENT_USER, path.c_str());  // left over by an aborted run
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0,
                                                 KEY_WRITE, NULL, &key, NULL));
        RegCloseKey(key);
        made_.push_back(name);
    }
    void Drop(const std::string& name)
    {
        SHDeleteKeyA(HKEY_CURRENT_USER, (std::string(SPIRALIX_REGISTRY_ROOT "\\") + name).c_str());
    }

    PApplication app_{GetModuleHandleA(NULL)};
    std::vector<std::string> made_;
};

TEST_F(VersionKeyTest, PicksTheNewestVersionBelowTheRunningOne)
{
    struct Case {
        std::vector<std::string> keys;
        const char* expected;
    } cases[] = {
        {{"3.0", "3.3"}, "3.3"},
        {{"3.3", "3.0", "2.9"}, "3.3"},
        {{"5.0", "4.0.1"}, ""},
        {{"5.0", "4.0.1", "1.2", "Beta"}, "1.2"},
        {{"0.0", "Beta"}, ""},
    };
    for (const Case& c : cases) {
        for (const std::string& key : c.keys)
            Make(key);
        char name[60] = "stale";
        app_.FindPreviousVersionKey(name);
        EXPECT_STREQ(c.expected, name) << "first key " << c.keys[0];
        for (const std::string& key : c.keys)
            Drop(key);
        made_.clear();
    }
}

TEST_F(VersionKeyTest, CopyRegistryKeyCopiesValuesAndSubKeys)
{
    Make("3.3");
    const std::string target = SPIRALIX_REGISTRY_ROOT "\\TestH2Copy";
    made_.push_back("TestH2Copy");
    SHDeleteKeyA(HKEY_CURRENT_USER, target.c_str());
    DWORD debug = 1;
    WriteRaw(SPIRALIX_REGISTRY_ROOT "\\3.3\\Properties", "Debug", REG_DWORD, &debug, 4);
    WriteRaw(SPIRALIX_REGISTRY_ROOT "\\3.3\\Windows\\Main", "Place", REG_BINARY, "\1\2\3", 3);
    WriteRaw(SPIRALIX_REGISTRY_ROOT "\\3.3", "Top", REG_SZ, "yes", 4);

    EXPECT_EQ(0, app_.CopyRegistryKey("3.3", target.c_str()));
    DWORD type;
    std::string data;
    ASSERT_TRUE(ReadRaw(target + "\\Properties", "Debug", &type, &data));
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(std::string("\1\0\0\0", 4), data);
    ASSERT_TRUE(ReadRaw(target + "\\Windows\\Main", "Place", &type, &data));
    EXPECT_EQ(std::string("\1\2\3", 3), data);
    ASSERT_TRUE(ReadRaw(target, "Top", &type, &data));
    EXPECT_EQ(std::string("yes", 4), data);
}

TEST_F(VersionKeyTest, CopyOfMissingSourceCreatesNoTarget)
{
    const std::string target = SPIRALIX_REGISTRY_ROOT "\\TestH2Copy";
    made_.push_back("TestH2Copy");
    SHDeleteKeyA(HKEY_CURRENT_USER, target.c_str());
    SHDeleteKeyA(HKEY_CURRENT_USER, SPIRALIX_REGISTRY_ROOT "\\2.7");
    EXPECT_EQ(1, app_.CopyRegistryKey("2.7", target.c_str()));
    EXPECT_FALSE(KeyExists(target)) << "an empty target would block a later migration";
}

// -------------------------------------------------------------- folders

TEST(Application, ConstructorAndFoldersFollowTheApplicationDataFolder)
{
    PApplication app(GetModuleHandleA(NULL));
    EXPECT_EQ(GetModuleHandleA(NULL), app.hInstance);
    EXPECT_EQ(GetCurrentThreadId(), app.mainThreadId);
    EXPECT_EQ(nullptr, app.log);
    char appData[MAX_PATH];
    ASSERT_TRUE(PApplication::GetSpecialFolderPath(appData, CSIDL_APPDATA));
    std::string base = appData;
    EXPECT_EQ(base + "\\Spiralix\\RenderJobs", app.renderJobFolder);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(app.renderJobFolder));
    EXPECT_STREQ("", app.jobTempFolder);
    EXPECT_STREQ("", app.dataFolder);

    app.InitFolders();
    EXPECT_EQ(base + "\\Spiralix 4.0", app.dataFolder);
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_STREQ(current, app.startFolder);
}

}  // namespace
