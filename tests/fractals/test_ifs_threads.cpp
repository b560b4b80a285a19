// The IFS code across threads: a calculation on its own thread while the
// main thread edits the coefficients it reads (every image must be the
// one of the old or of the new coefficients, never a torn or freed state),
// and the menu loader's worker (new Thread) loading the chosen files while
// the progress dialog runs.
#include <gtest/gtest.h>

#include <string.h>
#include <windows.h>
#include <string>
#include <vector>

#include "document/PlainBlocks.h"
#include "files/formulafiles/FormulaFiles.h"
#include "foundation/Services.h"
#include "fractals/ifs/IfsFormula.h"
#include "tests/fractals/DrawingTestSupport.h"

namespace {

struct Shared {
    Fractal* fractal;
    volatile LONG runs = 0;
    volatile LONG stop = 0;
    volatile LONG failures = 0;
    std::vector<std::vector<unsigned char>> images;
};

DWORD WINAPI CalculateRepeatedly(LPVOID argument)
{
    auto* shared = static_cast<Shared*>(argument);
    FractalTask* task = shared->fractal->task;
    size_t bytes = (size_t)shared->fractal->GetImageStride() * shared->fractal->header->Height;
    while (!shared->stop) {
        if (CalculateIfs(shared->fractal, 0, 0, 0, 0) != 0)
            InterlockedIncrement(&shared->failures);
        shared->images.emplace_back(task->imageBits, task->imageBits + bytes);
        InterlockedIncrement(&shared->runs);
    }
    return 0;
}

DWORD WINAPI CalculateOnce(LPVOID fractal)
{
    return (DWORD)CalculateIfs(static_cast<Fractal*>(fractal), 0, 0, 0, 0);
}

// The image of one calculation with the coefficient's text, calculated on
// a thread of its own like the racing ones (a new thread's x87 settings
// differ from the test main's).
std::vector<unsigned char> ImageWith(DrawingFractal& f, IfsTransformation* t, const char* text)
{
    t->SetText(IFS_T1, text);
    CompileIfsTransformation(t, "Edited", 1);
    HANDLE thread = CreateThread(nullptr, 0, CalculateOnce, f.fractal, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD result = 1;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    EXPECT_EQ(result, 0u);
    return f.Image();
}

const char* g_ControlText = "";
bool ReadControl(int, char* text, int size)
{
    snprintf(text, size, "%s", g_ControlText);
    return true;
}

}  // namespace

TEST(IfsThreads, EditsWhileCalculating)
{
    auto* formula = new IfsFormula("Edited");
    auto* t = new IfsTransformation();
    const char* texts[] = {"0.5", "0", nullptr, "0", "0.5", nullptr, nullptr, nullptr, "1", "0", "0", nullptr, "1"};
    for (int i = 0; i < IFS_COEFFICIENTS; i++)
        t->SetText(i, texts[i]);
    formula->transformations.Append(t);
    auto* second = new IfsTransformation();
    for (int i = 0; i < IFS_COEFFICIENTS; i++)
        second->SetText(i, texts[i]);
    second->SetText(IFS_T2, "1");
    CompileIfsTransformation(second, "Edited", 1);
    formula->transformations.Append(second);
    g_IfsFormulas.InsertSorted(formula, false);

    DrawingFractal f(FT_IFS, 0, 24, 24);
    IFSParameters* p = f.Params<IFSParameters>();
    strcpy(p->Formula, "Edited");
    p->MaxIter = 400;
    p->Colormode = 0;
    p->SetCorners(-0.1, 2.1, 2.1, -0.1);
    std::vector<unsigned char> withOne = ImageWith(f, t, "1");
    std::vector<unsigned char> withHalf = ImageWith(f, t, "0.5");
    ASSERT_NE(withOne, withHalf);

    IfsWindowLink saved = g_IfsWindow;
    g_IfsWindow.readControl = ReadControl;
    Shared shared;
    shared.fractal = f.fractal;
    HANDLE thread = CreateThread(nullptr, 0, CalculateRepeatedly, &shared, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    for (int edit = 0; shared.runs < 12 && edit < 100000; edit++) {
        g_ControlText = edit % 2 ? "1" : "0.5";
        UpdateIfsExpressionFromControl(t, IFS_CONTROL_FIRST + IFS_T1);
        Sleep(1);
    }
    shared.stop = 1;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    g_IfsWindow = saved;

    EXPECT_EQ(shared.failures, 0);
    for (const auto& image : shared.images)
        EXPECT_TRUE(image == withOne || image == withHalf);
    g_IfsFormulas.Remove(formula);
    delete formula;
}

// The worker waits for the dialog, loads the chosen files in order and
// closes the dialog; the lists are refreshed afterwards on this thread.
TEST(IfsThreads, MenuLoaderWorker)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string path = std::string(temp) + "spx_ifs_threads_" + std::to_string(GetCurrentProcessId()) + ".ifs";
    FILE* file = fopen(path.c_str(), "wb");
    fputs("Worker {\n 1 0 0 1 0 0 1\n}\n", file);
    fclose(file);

    static volatile LONG closed;
    static volatile LONG refreshedBeforeClose;
    static std::string chosen;
    closed = 0;
    refreshedBeforeClose = 0;
    chosen = path;
    ShellServices savedServices = Services();
    FormulaFileRequesters savedRequesters = g_FormulaFileRequesters;
    Services().isScanProgressOpen = [] { return true; };
    Services().closeScanProgress = [] { InterlockedExchange(&closed, 1); };
    Services().runScanProgress = [](void*) {
        for (int i = 0; i < 3000 && !closed; i++)
            Sleep(10);
        return closed ? 1 : 2;
    };
    g_FormulaFileRequesters.chooseOpen = [](int, std::vector<std::string>* paths) {
        paths->assign(1, chosen);
        return true;
    };
    g_FormulaFileRequesters.refreshIfsLists = [] {
        if (!closed)
            InterlockedIncrement(&refreshedBeforeClose);
    };

    LoadIfsFormulas();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(refreshedBeforeClose, 0);
    EXPECT_NE(FindIfsFormula("Worker"), nullptr);

    Services() = savedServices;
    g_FormulaFileRequesters = savedRequesters;
    g_IfsFormulas.DeleteAllNodes();
    DeleteFileA(path.c_str());
}
