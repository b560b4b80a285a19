// The calculation reports (texts, types and percentages of the invalid-
// result warning and the lack-of-memory error), the release of formula
// arrays and the opacity cells of a task.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "foundation/List.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Messages.h"
#include "foundation/Services.h"
#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "calc/task/Reports.h"
#include "document/Fractal.h"

namespace {

std::vector<UINT> g_posted;

bool RecordPost(UINT message, WPARAM wParam, LPARAM)
{
    EXPECT_EQ(wParam, 0u);
    g_posted.push_back(message);
    return true;
}

struct Line {
    std::string text;
    int type;
};

std::vector<Line> Messages()
{
    std::vector<Line> lines;
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next) {
        MessageNode* m = static_cast<MessageNode*>(n);
        lines.push_back({m->text, m->type});
    }
    return lines;
}

class Reports : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteAllMessages();
        g_posted.clear();
        saved = Services().postToMainFrame;
        Services().postToMainFrame = &RecordPost;
        fractal = new Fractal(FT_IMAGE, 0);
        fractal->Rename("A", false);
        parent = new Fractal(FT_LAYERED, 0);
        parent->Rename("B", false);
    }
    void TearDown() override
    {
        Services().postToMainFrame = saved;
        FreeBareTask(fractal);
        delete fractal;
        delete parent;
        DeleteAllMessages();
    }
    bool (*saved)(UINT, WPARAM, LPARAM) = nullptr;
    Fractal* fractal = nullptr;
    Fractal* parent = nullptr;
};

}  // namespace

// Percentages over bufferWidth x height cells, capped at 100; the first
// line names the layer and its layered fractal.
TEST_F(Reports, InvalidResultWarning)
{
    struct Case {
        int count, width, height;
        bool layer;
        const char* first;
        const char* second;
    } cases[] = {
        {40, 640, 480, false, "Fractal \"A\" may be the result of arithmetic exceptions",
         "The calculation function produced invalid results for at least 40 pixels (0.0 %)."},
        {1000, 99, 10, false, "Fractal \"A\" may be the result of arithmetic exceptions",
         "The calculation function produced invalid results for at least 1000 pixels (100.0 %)."},
        {5000, 99, 10, true, "Layer \"A\" of Fractal \"B\" may be the result of arithmetic exceptions",
         "The calculation function produced invalid results for at least 5000 pixels (100.0 %)."},
        {25, 9, 10, false, "Fractal \"A\" may be the result of arithmetic exceptions",
         "The calculation function produced invalid results for at least 25 pixels (25.0 %)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        DeleteAllMessages();
        g_posted.clear();
        fractal->header->Width = c.width;
        fractal->header->Height = c.height;
        fractal->baseFractal = c.layer ? parent : nullptr;
        CheckInvalidOp(fractal, c.count);
        std::vector<Line> lines = Messages();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].text, c.first);
        EXPECT_EQ(lines[0].type, MSG_WARNING);
        EXPECT_EQ(lines[1].text, c.second);
        EXPECT_EQ(g_posted, std::vector<UINT>{UM_NEW_MESSAGE});
    }
    fractal->baseFractal = nullptr;
    DeleteAllMessages();
    g_posted.clear();
    CheckInvalidOp(fractal, 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(g_posted.empty());
}

TEST_F(Reports, NotEnoughMemoryError)
{
    for (bool layer : {false, true}) {
        DeleteAllMessages();
        g_posted.clear();
        fractal->baseFractal = layer ? parent : nullptr;
        ReportNotEnoughMemory(fractal);
        std::vector<Line> lines = Messages();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].text, layer ? "Layer \"A\" of Fractal \"B\" cannot be calculated:"
                                       : "Fractal \"A\" cannot be calculated:");
        EXPECT_EQ(lines[0].type, MSG_ERROR);
        EXPECT_EQ(lines[1].text, "Not enough memory available in order to initialize the arrays.");
        EXPECT_EQ(g_posted, std::vector<UINT>{UM_NEW_MESSAGE});
    }
    fractal->baseFractal = nullptr;
}

// Every recorded array is released once and its slot zeroed; unknown kinds
// are skipped; a table that starts with its terminator frees nothing.
TEST_F(Reports, FreeArraysOnceEach)
{
    alignas(8) char first[64] = {};
    alignas(8) char second[64] = {};
    void* a = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    void* b = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    void* kept = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    *reinterpret_cast<void**>(first + 8) = a;
    *reinterpret_cast<void**>(second + 16) = b;
    *reinterpret_cast<void**>(second + 24) = kept;
    const int32_t table[] = {1, 8, 2, 16, 3, 24, 0, 0};
    const int32_t empty[] = {0, 24, 2, 24};

    FreeArrays_Normal(empty, first, second);
    EXPECT_EQ(*reinterpret_cast<void**>(second + 24), kept);

    FreeArrays_Normal(table, first, second);
    EXPECT_EQ(*reinterpret_cast<void**>(first + 8), nullptr);
    EXPECT_EQ(*reinterpret_cast<void**>(second + 16), nullptr);
    EXPECT_EQ(*reinterpret_cast<void**>(second + 24), kept);   // kind 3 is not an array
    MEMORY_BASIC_INFORMATION info;
    ASSERT_EQ(VirtualQuery(a, &info, sizeof info), sizeof info);
    EXPECT_EQ(info.State, (DWORD)MEM_FREE);
    FreeArrays_Normal(table, first, second);   // nothing left to free twice
    VirtualFree(kept, 0, MEM_RELEASE);
}

// The opacity cells follow the buffer width and height; a second request
// of the same size keeps the cells.
TEST_F(Reports, OpacityCells)
{
    fractal->header->Width = 5;
    fractal->header->Height = 3;
    FractalTask* task = AttachBareTask(fractal);
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(SetupOldzBuffer(fractal, task, 1));
    ASSERT_TRUE(task->oldz->IsAllocated());
    EXPECT_EQ(task->oldz->width, 6);
    EXPECT_EQ(task->oldz->height, 3);
    EXPECT_EQ(task->oldz->cellSize, 4);
    EXPECT_EQ(task->oldzRows, 6);
    EXPECT_EQ(task->oldzRows2, 3);
    void* cells = task->oldz->data;
    EXPECT_TRUE(SetupOldzBuffer(fractal, task, 1));
    EXPECT_EQ(task->oldz->data, cells);
    EXPECT_TRUE(SetupOldzBuffer(fractal, task, 0));
    EXPECT_FALSE(task->oldz->IsAllocated());
    EXPECT_EQ(task->oldzRows, 0);
    EXPECT_EQ(task->oldzRows2, 0);
}
