#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "app/Application.h"
#include "foundation/LogFile.h"

namespace {

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void FixedClock(SYSTEMTIME* time)
{
    ZeroMemory(time, sizeof(*time));
    time->wYear = 2020;
    time->wMonth = 1;
    time->wDay = 1;
    time->wHour = 9;
    time->wMinute = 5;
    time->wSecond = 3;
    time->wMilliseconds = 7;
}

// An application object whose data folder is a fresh temporary folder, and
// the "Properties"/"Debug" switch saved and restored around each test.
class LogFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "spiralix_log_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), NULL);
        logPath_ = folder_ + "\\spiralix.log";

        savedApp_ = g_App;
        app_ = new PApplication(GetModuleHandleA(NULL));
        strcpy(app_->dataFolder, folder_.c_str());
        g_App = app_;

        hadDebug_ = app_->GetRegistryDword("Properties", "Debug", &savedDebug_) == 0;
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SPIRALIX_REGISTRY_KEY "\\Properties", 0,
                          KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            DWORD type = 0, size = 0;
            hadOtherDebug_ = RegQueryValueExA(key, "Debug", NULL, &type, NULL, &size) ==
                             ERROR_SUCCESS && !hadDebug_;
            RegCloseKey(key);
        }
        ASSERT_FALSE(hadOtherDebug_) << "a non-DWORD Debug value is in the way";
    }

    void TearDown() override
    {
        if (hadDebug_)
            app_->SetRegistryDword("Properties", "Debug", savedDebug_);
        else
            RemoveDebugValue();
        SetLogClock(NULL);
        g_App = savedApp_;
        delete app_->log;
        delete app_;
        DeleteFileA(logPath_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    static void RemoveDebugValue()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SPIRALIX_REGISTRY_KEY "\\Properties", 0,
                          KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "Debug");
            RegCloseKey(key);
        }
    }

    void PlantOldLog()
    {
        std::ofstream(logPath_) << "line of an earlier run\n";
        ASSERT_TRUE(Exists(logPath_));
    }

    std::string folder_;
    std::string logPath_;
    PApplication* app_ = nullptr;
    PApplication* savedApp_ = nullptr;
    bool hadDebug_ = false;
    bool hadOtherDebug_ = false;
    DWORD savedDebug_ = 0;
};

TEST_F(LogFileTest, LineFormatIsUtcTimeTwoBlanksTextAndCrLf)
{
    SetLogClock(FixedClock);
    LogFile log;
    log.enabled = 1;
    log.Write("Loading formulas");
    log.WriteJoined("Reading ", "Spiralix.par");
    EXPECT_EQ("09:05:03.007  Loading formulas\r\n09:05:03.007  Reading Spiralix.par\r\n",
              ReadBytes(logPath_));
}

TEST_F(LogFileTest, DisabledLogWritesNothing)
{
    LogFile log;
    log.Write("x");
    log.WriteJoined("x", "y");
    EXPECT_FALSE(Exists(logPath_));
}

TEST_F(LogFileTest, ConstructorAndRemoveDeleteTheFile)
{
    PlantOldLog();
    LogFile log;
    EXPECT_FALSE(Exists(logPath_));
    log.enabled = 1;
    log.Write("a");
    ASSERT_TRUE(Exists(logPath_));
    log.Remove();
    EXPECT_FALSE(Exists(logPath_));
}

TEST_F(LogFileTest, InitLogWithSwitchOnStartsWithFirstLine)
{
    PlantOldLog();
    ASSERT_EQ(0, app_->SetRegistryDword("Properties", "Debug", 1));
    app_->InitLog();
    ASSERT_NE(nullptr, app_->log);
    EXPECT_NE(0, app_->log->enabled);
    app_->log->Write("second");
    std::string content = ReadBytes(logPath_);
    EXPECT_TRUE(std::regex_match(
        content, std::regex("\\d\\d:[0-5]\\d:[0-5]\\d\\.\\d{3}  First line\r\n"
                            "\\d\\d:[0-5]\\d:[0-5]\\d\\.\\d{3}  second\r\n")))
        << content;
}

TEST_F(LogFileTest, InitLogKeepsLoggingOffUnlessDebugIsANonZeroDword)
{
    struct Case {
        const char* what;
        DWORD type;
        const char* text;  // for REG_SZ
        DWORD number;      // for REG_DWORD
    } cases[] = {
        {"missing value", REG_NONE, nullptr, 0},
        {"DWORD 0", REG_DWORD, nullptr, 0},
        {"text \"1\"", REG_SZ, "1", 0},
    };
    for (const Case& c : cases) {
        RemoveDebugValue();
        if (c.type == REG_DWORD) {
            ASSERT_EQ(0, app_->SetRegistryDword("Properties", "Debug", c.number));
        }
        if (c.type == REG_SZ) {
            ASSERT_EQ(0, app_->SetRegistryString("Properties", "Debug", c.text));
        }
        PlantOldLog();
        app_->InitLog();
        EXPECT_EQ(0, app_->log->enabled) << c.what;
        app_->log->Write("more");
        EXPECT_FALSE(Exists(logPath_)) << c.what << ": old file kept or new file written";
    }
}

struct WriterJob {
    LogFile* log;
    int lines;
};

DWORD WINAPI WriteManyLines(LPVOID parameter)
{
    WriterJob* job = static_cast<WriterJob*>(parameter);
    for (int i = 0; i < job->lines; i++)
        job->log->Write("a line written by one of several threads");
    return 0;
}

TEST_F(LogFileTest, ConcurrentWritersLoseNoLines)
{
    SetLogClock(FixedClock);
    LogFile log;
    log.enabled = 1;
    const int kThreads = 4, kLines = 50;
    WriterJob job = {&log, kLines};
    HANDLE threads[kThreads];
    for (int i = 0; i < kThreads; i++)
        threads[i] = CreateThread(NULL, 0, WriteManyLines, &job, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(kThreads, threads, TRUE, 60000));
    for (HANDLE thread : threads)
        CloseHandle(thread);

    std::string line = "09:05:03.007  a line written by one of several threads\r\n";
    std::string expected;
    for (int i = 0; i < kThreads * kLines; i++)
        expected += line;
    EXPECT_EQ(expected, ReadBytes(logPath_));
}

TEST(LogFileWithoutApplication, DoesNothingAndDoesNotCrash)
{
    PApplication* saved = g_App;
    g_App = nullptr;
    LogFile log;
    log.enabled = 1;
    log.Write("nowhere");
    char path[MAX_PATH];
    EXPECT_FALSE(GetLogFilePath(path, sizeof(path)));
    g_App = saved;
}

}  // namespace
