// The undo history: the cap, the redo cut, repeated states, recording off,
// the starting point, credits, both ends of the history, undo bringing back
// the written corners, the snapshot text, the scroll-bar mode of a fractal
// without window and the check-box test.
#include <gtest/gtest.h>
#include <malloc.h>
#include <string.h>
#include <string>

#include "DocumentTestSupport.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Undo.h"
#include "foundation/Buffers.h"

namespace {

// Settings the tests change, restored afterwards.
struct UndoSettings {
    UndoSettings(int steps, const char* user)
    {
        savedSteps = g_UndoSteps;
        strcpy(savedUser, g_AuthorName);
        g_UndoSteps = steps;
        strcpy(g_AuthorName, user);
    }
    ~UndoSettings()
    {
        g_UndoSteps = savedSteps;
        strcpy(g_AuthorName, savedUser);
    }
    int savedSteps;
    char savedUser[256];
};

Fractal* NewFractal()
{
    PrepareDocumentModel();
    return new Fractal(FT_PLASMA, 0);
}

// A state of its own for each k: the left corner at -k.
void Change(Fractal* f, int k)
{
    f->typeParameters->TopLeftR = BigNumber(-k);
}

int CursorIndex(const Fractal* f)
{
    int index = 1;
    for (ListNode* n = f->undoSteps.GetHead(); n; n = n->next, ++index)
        if (n == f->undoCursor)
            return index;
    return 0;
}

TEST(Undo, CapRedoCutAndRepeatedStates)
{
    UndoSettings settings(50, "Tester");
    Fractal* f = NewFractal();
    EXPECT_EQ(AddUndoStep(f, "###Starting point"), 1);
    for (int k = 1; k <= 50; ++k) {
        Change(f, k);
        char name[32];
        sprintf(name, "step %d", k);
        EXPECT_EQ(AddUndoStep(f, name), 1);
    }
    // 51 states recorded: the starting point made room.
    EXPECT_EQ(f->undoSteps.Count(), 50);
    EXPECT_STREQ(f->undoSteps.GetHead()->name, "step 1");
    EXPECT_EQ(CursorIndex(f), 50);

    // The same state again adds nothing and keeps the oldest step.
    EXPECT_EQ(AddUndoStep(f, "again"), 1);
    EXPECT_EQ(f->undoSteps.Count(), 50);
    EXPECT_STREQ(f->undoSteps.GetHead()->name, "step 1");

    // Three undos, then a new state: the three redo steps are gone.
    for (int i = 0; i < 3; ++i)
        DoUndo(f, 0);
    EXPECT_EQ(CursorIndex(f), 47);
    EXPECT_TRUE(f->typeParameters->TopLeftR == BigNumber(-47));
    Change(f, 99);
    EXPECT_EQ(AddUndoStep(f, "new"), 1);
    EXPECT_EQ(f->undoSteps.Count(), 48);
    EXPECT_STREQ(f->undoSteps.GetTail()->name, "new");
    EXPECT_EQ(CursorIndex(f), 48);
    delete f;
}

// Undo brings back the corners of a deep view as they were written (the
// snapshot keeps the digits that tell its pixels apart); at either end of
// the history nothing changes.
TEST(Undo, BothEndsAndWrittenCorners)
{
    UndoSettings settings(50, "Tester");
    Fractal* f = NewFractal();
    f->typeParameters->BottomRightR = BigNumber("-0.7436438870371587");
    f->typeParameters->TopLeftR = BigNumber("-0.7436438870371587048");
    AddUndoStep(f, "###Starting point");
    f->typeParameters->TopLeftR = BigNumber("-0.74364388703715871");
    AddUndoStep(f, "Zoomed in");

    const struct {
        int redo;
        int cursor;
        const char* left;
    } walk[] = {
        {1, 2, "-0.74364388703715871"},    // redo at the last step
        {0, 1, "-0.7436438870371587048"},  // back to the written corner
        {0, 1, "-0.7436438870371587048"},  // undo at the first step
        {1, 2, "-0.74364388703715871"},
    };
    for (const auto& w : walk) {
        DoUndo(f, w.redo);
        EXPECT_EQ(CursorIndex(f), w.cursor);
        EXPECT_TRUE(f->typeParameters->TopLeftR == BigNumber(w.left)) << w.left;
    }
    EXPECT_EQ(f->undoSteps.Count(), 2);
    delete f;
}

TEST(Undo, ModifiedFlagsStartingPointAndRecordingOff)
{
    UndoSettings settings(50, "Tester");
    FractalFolder folder;
    Fractal* f = NewFractal();
    f->ClearCredits();
    f->folder = &folder;
    FractalModified(f) = 0;
    folder.int2 = 0;
    // The starting point is no change: no flag, no credit.
    AddUndoStep(f, "###Starting point");
    EXPECT_EQ(FractalModified(f), 0);
    EXPECT_EQ(folder.int2, 0);
    EXPECT_TRUE(f->credits.IsEmpty());
    EXPECT_EQ(f->undoSteps.Count(), 1);

    // Recording off: the answer is 1 and the flags are set, but no step
    // stays and no cursor points at a removed one.
    g_UndoSteps = 0;
    Change(f, 3);
    EXPECT_EQ(AddUndoStep(f, "Zoomed in"), 1);
    EXPECT_EQ(FractalModified(f), 1);
    EXPECT_EQ(folder.int2, 1);
    EXPECT_EQ(f->undoSteps.Count(), 0);
    EXPECT_EQ(f->undoCursor, nullptr);
    DoUndo(f, 0);   // nothing to walk to
    f->folder = nullptr;
    delete f;
}

// One credit per run of changes by one user; another user's change goes
// in front. ModifiedBy names the last user.
TEST(Undo, CreditsPerUser)
{
    UndoSettings settings(50, "Ann");
    Fractal* f = NewFractal();
    f->ClearCredits();
    const struct {
        const char* user;
        int credits;
        const char* first;
    } changes[] = {{"Ann", 1, "Ann"}, {"Ann", 1, "Ann"}, {"Bob", 2, "Bob"}, {"Ann", 3, "Ann"}};
    int k = 0;
    for (const auto& c : changes) {
        strcpy(g_AuthorName, c.user);
        Change(f, ++k);
        AddUndoStep(f, "Changed");
        EXPECT_EQ(f->credits.Count(), c.credits) << k;
        EXPECT_STREQ(static_cast<CreditEntry*>(f->credits.GetHead())->author, c.first) << k;
        EXPECT_STREQ(static_cast<const char*>(f->header->ModifiedBy->GetData()), c.user);
    }
    delete f;
}

// The snapshot: an entry without carriage returns, terminated, with 20
// spare bytes; layers record into their layered fractal's history.
TEST(Undo, SnapshotTextAndLayerHistory)
{
    UndoSettings settings(50, "Tester");
    Fractal* f = NewFractal();
    f->typeParameters->TopLeftR = BigNumber("-1.25");
    char* text = f->GetParameterText();
    ASSERT_NE(text, nullptr);
    size_t length = strlen(text);
    EXPECT_EQ(strchr(text, '\r'), nullptr);
    EXPECT_NE(strstr(text, "-1.25"), nullptr);
    EXPECT_GE(_msize(text), length + 20);
    free(text);

    Fractal* base = new Fractal(FT_LAYERED, 0);
    f->baseFractal = base;
    Change(f, 4);
    EXPECT_EQ(AddUndoStep(f, "Layer changed"), 1);
    EXPECT_EQ(f->undoSteps.Count(), 0);
    EXPECT_EQ(base->undoSteps.Count(), 1);
    EXPECT_EQ(FractalModified(base), 1);
    f->baseFractal = nullptr;
    delete base;
    delete f;
    EXPECT_EQ(AddUndoStep(nullptr, "x"), 0);
}

TEST(Undo, ScrollbarModeWithoutWindowAndCheckTest)
{
    Fractal* f = NewFractal();
    const int modes[] = {1, 1, 0};
    for (int on : modes) {
        EXPECT_EQ(f->SetScrollbarMode(on), 0);   // not the current fractal
        EXPECT_EQ(f->header->Scrollbar, on);
    }
    delete f;

    const struct {
        double a;
        bool checked;
        double b;
        bool result;
    } cases[] = {{3, true, 3, false}, {3, false, 4, false}, {3, true, 4, true}};
    for (const auto& c : cases)
        EXPECT_EQ(IsCheckedAndChanged(c.a, c.checked, c.b), c.result) << c.a << " " << c.checked << " " << c.b;
}

// Resizing a fractal without task only changes its header.
TEST(Undo, ResizeWithoutTask)
{
    Fractal* f = NewFractal();
    EXPECT_EQ(f->Resize(300, 200, 0, 1), 0);
    EXPECT_EQ(f->header->Width, 300);
    EXPECT_EQ(f->header->Height, 200);
    delete f;
}

}  // namespace
