// The formula download against a real HTTP server on loopback (a Python
// script of the tools folder, started here): what a download refuses,
// what unpacking refuses, and a whole UltraFractal update ending in
// converted twins with the archive's other files beside them.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "app/ScanProgressDialog.h"
#include "formulas/convert/ForeignImport.h"
#include "formulas/convert/FormulaDownload.h"
#include "formulas/ParameterClamp.h"
#include "compiler/FormulaSymbol.h"
#include "tests/formulas/FormulaTestSupport.h"

using namespace formulatest;

namespace {

// The path Python on the host sees for a path of the Windows side.
std::string UnixPath(const std::string& path)
{
    typedef char*(__cdecl * ToUnix)(const wchar_t*);
    ToUnix toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH * 2];
    if (toUnix == nullptr || MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 2) == 0)
        return path;
    char* unix = toUnix(wide);
    if (unix == nullptr)
        return path;
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// The server, serving (and first filling) a temporary folder; it stops by
// itself after two minutes.
class FormulaServer {
public:
    explicit FormulaServer(const TempFolder& folder)
    {
        _putenv("http_proxy=");
        _putenv("https_proxy=");
        SetEnvironmentVariableA("http_proxy", nullptr);
        SetEnvironmentVariableA("https_proxy", nullptr);
        root = folder.MakeFolder("www");
        std::string portFile = folder / "port.txt";
        std::string script = UnixPath(std::string(SPIRALIX_TEST_DATA) + "\\..\\..\\tools\\formula_server.py");
        std::string command = "\"Z:\\usr\\bin\\python3\" \"" + script + "\" \"" + UnixPath(root) + "\" \"" +
                              UnixPath(portFile) + "\" 120 \"" + UnixPath(std::string(SPIRALIX_TEST_DATA) + "\\formulas") +
                              "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        std::vector<char> line(command.begin(), command.end());
        line.push_back(0);
        // Wine starts a host program by fork and exec and hands back no
        // process handle: the port file tells when the server listens.
        bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
        if (started && info.hProcess != nullptr) {
            process = info.hProcess;
            CloseHandle(info.hThread);
        }
        for (int i = 0; i < 600 && started; i++) {
            std::string port = ReadBytes(portFile);
            if (!port.empty()) {
                address = "http://127.0.0.1:" + port;
                break;
            }
            Sleep(100);
        }
    }
    ~FormulaServer()
    {
        if (!address.empty()) {
            std::string quit = root + "\\..\\quit.txt";
            DownloadUrl((address + "/quit").c_str(), quit.c_str());
        }
        if (process != nullptr) {
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
    }
    std::string root;
    std::string address;
    HANDLE process = nullptr;
};

int Headless(ScanProgressDialog* dialog)
{
    return dialog->RunHeadless(60000);
}

class Recorder : public DownloadWindow {
public:
    FormulaDownloadChoice choice;
    std::vector<std::string> recorded;
    FormulaDownloadChoice ReadChoice() override { return choice; }
    void SetLabel(const char*, bool) override {}
    void SetProgress(int) override {}
    void SetButtonText(const char*) override {}
    void Refresh() override {}
    void RecordUpdateTime(const char* name, const SYSTEMTIME&) override { recorded.push_back(name); }
};

class FormulaDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearFormulaTrees();
        g_ScanProgressRunner = &Headless;
        DownloadCancel = 0;
    }
    void TearDown() override
    {
        g_ScanProgressRunner = nullptr;
        ClearFormulaTrees();
    }
};

TEST_F(FormulaDownloadTest, DownloadsOnlyCompleteAnswersAndUnpacksSafely)
{
    TempFolder work;
    FormulaServer server(work);
    if (server.address.empty())
        GTEST_SKIP() << "python3 could not be started from this test";

    // Refused answers leave no file behind.
    const char* const refused[] = {"/status404", "/truncated/uf.zip", "/zero", "/nolength/uf.zip"};
    for (const char* path : refused) {
        std::string out = work / "refused.bin";
        EXPECT_EQ(1, DownloadUrl((server.address + path).c_str(), out.c_str())) << path;
        EXPECT_FALSE(FileExists(out)) << path;
    }
    std::string archive = work / "uf.zip";
    ASSERT_EQ(0, DownloadUrl((server.address + "/uf.zip").c_str(), archive.c_str()));
    EXPECT_EQ(ReadBytes(server.root + "\\uf.zip"), ReadBytes(archive));

    // Subfolders are made, entries carry the archive's dates.
    std::string target = work.MakeFolder("unpacked");
    EXPECT_EQ(0, ExtractZip(archive.c_str(), target.c_str()));
    std::string banded = target + "\\sub\\banded.ucl";
    ASSERT_TRUE(FileExists(banded));
    FILETIME written = LastWriteTime(banded), local;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToSystemTime(&local, &st);
    EXPECT_EQ(2011, st.wYear);
    EXPECT_EQ(3, st.wMonth);
    EXPECT_EQ(5, st.wDay);
    EXPECT_EQ(10, st.wHour);
    EXPECT_EQ(20, st.wMinute);

    // "../evil.txt" fails the archive and is written nowhere.
    std::string inside = work.MakeFolder("inside\\target");
    EXPECT_NE(0, ExtractZip((server.root + "\\traversal.zip").c_str(), inside.c_str()));
    EXPECT_FALSE(FileExists(work / "inside\\evil.txt"));
    EXPECT_FALSE(FileExists(inside + "\\evil.txt"));
    // A file that is no archive.
    EXPECT_NE(0, ExtractZip((server.root + "\\formulas\\formulas_v4_0.txt").c_str(), inside.c_str()));
}

TEST_F(FormulaDownloadTest, UltraFractalUpdateEndsInConvertedTwins)
{
    TempFolder work;
    FormulaServer server(work);
    if (server.address.empty())
        GTEST_SKIP() << "python3 could not be started from this test";
    std::string data = work.MakeFolder("data");
    std::string temp = work.MakeFolder("tmp");
    SetImportDataFolder(data.c_str());

    Recorder window;
    window.choice.ultraFractal = true;
    window.choice.ufLine = 3;
    DownloadJob job;
    job.server = server.address;
    job.dataFolder = data;
    job.tempFolder = temp;
    job.window = &window;
    DownloadRunning = 1;
    DownloadResult result = RunFormulaDownload(job);
    EXPECT_EQ(0, DownloadRunning);
    EXPECT_TRUE(result.listRead);
    EXPECT_EQ(DOWNLOAD_UPDATED, result.ultraFractal);
    EXPECT_EQ(DOWNLOAD_SKIPPED, result.own);
    EXPECT_EQ(std::vector<std::string>{"UpdateUF"}, window.recorded);
    std::string uf = data + "\\Formulas\\Ultra Fractal";
    EXPECT_NE(std::string::npos, ReadBytes(uf + "\\julia.sfm").find("JuliaUF {"));
    EXPECT_TRUE(FileExists(uf + "\\sub\\banded.scl"));
    EXPECT_TRUE(FileExists(uf + "\\readme.txt"));
    EXPECT_FALSE(FileExists(uf + "\\julia.ufm"));
    EXPECT_FALSE(FileExists(uf + "\\gradients\\one.ugr"));
    EXPECT_FALSE(FileExists(temp + "\\~wp108.zip"));

    // The month's archive holds a path outside its folder: failed, no time
    // recorded. The own collection's date fills the list's placeholders.
    window.recorded.clear();
    window.choice.ufLine = 4;
    window.choice.own = true;
    window.choice.ownLine = 2;
    window.choice.day = 5;
    window.choice.month = 3;
    window.choice.year = 2011;
    DownloadRunning = 1;
    result = RunFormulaDownload(job);
    EXPECT_EQ(DOWNLOAD_FAILED, result.ultraFractal);
    EXPECT_EQ(DOWNLOAD_UPDATED, result.own);
    EXPECT_EQ(std::vector<std::string>{"UpdateSX"}, window.recorded);
    EXPECT_TRUE(FileExists(data + "\\Formulas\\Compiler\\own.sfm"));
    EXPECT_FALSE(FileExists(temp + "\\evil.txt"));
}

TEST(FormulaDownloadHelpers, PlaceholdersAndClamping)
{
    char line[200] = "http://x/[day].[month].[year]/[day].zip";
    ReplaceWithNumber(line, sizeof line, "[day]", 5);
    ReplaceWithNumber(line, sizeof line, "[month]", 3);
    ReplaceWithNumber(line, sizeof line, "[year]", 2011);
    EXPECT_STREQ("http://x/5.3.2011/5.zip", line);

    FormulaSymbol symbol;
    symbol.dataType = DT_INT;
    symbol.minimum = -1e30;
    symbol.maximum = 1e30;
    symbol.value[0] = 3e9;
    ClampParameterValue(&symbol);
    EXPECT_EQ(2147483647.0, symbol.value[0]);
    symbol.dataType = DT_COMPLEX;
    symbol.minimum = 0;
    symbol.maximum = 1;
    symbol.value[0] = -2;
    symbol.value[1] = 5;
    ClampParameterValue(&symbol);
    EXPECT_EQ(0.0, symbol.value[0]);
    EXPECT_EQ(1.0, symbol.value[1]);
}

}  // namespace
