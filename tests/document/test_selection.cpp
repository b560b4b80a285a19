// Selection and deletion: successors of deleted fractals, the turn from a
// layered fractal to its layer, pick mode, the cheap reselection, parsing
// on first selection, delete questions, the undo menu texts and the
// clipboard predicate.
#include <string.h>
#include "calc/FractalTask.h"
#include "document/EscapetimeParameters.h"
#include "document/Layer.h"
#include "document/Layers.h"
#include "document/Undo.h"
#include "files/entry/EntryWriter.h"
#include "foundation/Messages.h"
#include "tests/document/FolderTestSupport.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

class Selecting : public FolderFixture {
protected:
    // apple, Julia (layered, layers L1 and L2), zeta in folder a.par.
    void SetUp() override
    {
        FolderFixture::SetUp();
        folder = NewFolder("a.par");
        folder->MakeCurrent(true);
        apple = Named("apple");
        zeta = Named("zeta");
        julia = Named("Julia", FT_LAYERED);
        folder->AddFractal(apple, false);
        folder->AddFractal(zeta, false);
        folder->AddFractal(julia, false);
        AddLayer(julia, Named("L1"), true, false);
        AddLayer(julia, Named("L2"), true, false);
        l1 = static_cast<Fractal*>(julia->next);
        l2 = static_cast<Fractal*>(l1->next);
    }
    LayeredParameters* Block() { return static_cast<LayeredParameters*>(julia->typeParameters); }
    Fractal* Current() { return CurrentFolder ? CurrentFolder->currentFractal : nullptr; }

    FractalFolder* folder;
    Fractal *apple, *julia, *l1, *l2, *zeta;
};

// The folder's next current fractal after a deletion.
TEST_F(Selecting, DeletionSuccessors)
{
    ASSERT_EQ("apple|Julia|L1|L2|zeta", FolderOrder(folder));
    SelectFractal(julia, true);
    EXPECT_EQ(l2, Current());   // the current layer (the last one added)
    DeleteFractal(julia, false, true);   // the base of the current layer
    EXPECT_EQ(zeta, Current());
    EXPECT_EQ("apple|zeta", FolderOrder(folder));
    DeleteFractal(zeta, false, true);
    EXPECT_EQ(apple, Current());
    DeleteFractal(apple, false, true);
    EXPECT_EQ(nullptr, Current());
    EXPECT_EQ("", FolderOrder(folder));
}

// Deleting the current layer makes the next layer current, the last one
// the layer before it; the record goes with the fractal.
TEST_F(Selecting, DeletingALayerSelectsItsNeighbour)
{
    SelectFractal(l1, true);
    EXPECT_EQ(0, Block()->currentLayer);
    DeleteFractal(l1, false, true);
    EXPECT_EQ(l2, Current());
    EXPECT_EQ(1, Block()->layers.Count());
    EXPECT_EQ(0, Block()->currentLayer);
    EXPECT_EQ(nullptr, julia->FindLayer(l1));
    DeleteFractal(l2, false, true);
    EXPECT_EQ(zeta, Current());   // the list neighbour before it is Julia, after it zeta
    EXPECT_EQ(-1, Block()->currentLayer);
    EXPECT_EQ("apple|Julia|zeta", FolderOrder(folder));
}

// A layered fractal turns to its current layer (an index out of range
// becomes 0); one without layers stays itself; a layer sets the index.
TEST_F(Selecting, LayeredFractalTurnsToItsLayer)
{
    Block()->currentLayer = 5;
    SelectFractal(julia, true);
    EXPECT_EQ(l1, Current());
    EXPECT_EQ(0, Block()->currentLayer);
    SelectFractal(l2, true);
    EXPECT_EQ(1, Block()->currentLayer);

    Fractal* empty = Named("Empty", FT_LAYERED);
    folder->AddFractal(empty, false);
    SelectFractal(empty, true);
    EXPECT_EQ(empty, Current());
}

// Pick mode keeps the picked fractal current; selecting the current one
// again without force refreshes no tool window; the first selection
// records the starting point on the base.
TEST_F(Selecting, PickModeAndCheapReselection)
{
    SelectFractal(apple, true);
    ParameterPickActive = 1;
    ParameterPickFractal = apple;
    EXPECT_TRUE(SelectFractal(zeta, true));
    EXPECT_EQ(apple, Current());
    ParameterPickFractal = zeta;
    EXPECT_TRUE(SelectFractal(zeta, true));
    EXPECT_EQ(zeta, Current());
    ParameterPickActive = 0;

    hooks.toolWindows.clear();
    hooks.texts.clear();
    SelectFractal(zeta, false);
    EXPECT_TRUE(hooks.toolWindows.empty());
    EXPECT_FALSE(hooks.texts.empty());   // the menus still follow
    SelectFractal(zeta, true);
    EXPECT_FALSE(hooks.toolWindows.empty());

    ASSERT_FALSE(zeta->undoSteps.IsEmpty());
    EXPECT_STREQ("###Starting point", zeta->undoSteps.GetHead()->name);
    EXPECT_TRUE(l1->undoSteps.IsEmpty());
    EXPECT_FALSE(julia->undoSteps.IsEmpty());
}

// A fractal read from a file is parsed on its first selection; one that
// does not parse is deleted and its neighbour selected.
TEST_F(Selecting, FirstSelectionParsesOrDeletes)
{
    Fractal* source = Named("Read");
    source->header->Width = 123;
    char* text = MakeParameterText(source, false, -1, true);
    delete source;
    Fractal* read = new Fractal();
    read->SetName("Read");
    read->pendingEntryText = text;
    folder->AddFractal(read, false);
    EXPECT_TRUE(SelectFractal(read, true));
    EXPECT_EQ(nullptr, read->pendingEntryText);
    EXPECT_EQ(text, read->keptEntryText);
    EXPECT_EQ(FT_PLASMA, read->header->Type);
    EXPECT_EQ(123, read->header->Width);

    Fractal* broken = new Fractal();
    broken->SetName("Reb");
    broken->pendingEntryText = _strdup("no entry here");
    folder->AddFractal(broken, false);
    int messages = g_Messages.Count();
    EXPECT_FALSE(SelectFractal(broken, true));
    EXPECT_FALSE(IsLiveFractal(broken));
    EXPECT_EQ(messages + 1, g_Messages.Count());
    EXPECT_EQ(zeta, Current());   // the fractal after it
    EXPECT_EQ("apple|Julia|L1|L2|Read|zeta", FolderOrder(folder));
}

// The questions of a deletion; a declined one changes nothing.
TEST_F(Selecting, DeleteQuestions)
{
    ScriptedBoxes boxes(IDCANCEL);
    EXPECT_EQ(IDCANCEL, DeleteFractal(l1, true, true));
    EXPECT_EQ(IDCANCEL, DeleteFractal(zeta, true, true));
    ASSERT_EQ(2u, boxes.Count());
    EXPECT_NE(std::string::npos, boxes.Shown()[0].text.find("is a layer of another fractal"));
    EXPECT_NE(std::string::npos, boxes.Shown()[1].text.find("delete a fractal data structure"));
    EXPECT_EQ("apple|Julia|L1|L2|zeta", FolderOrder(folder));
    boxes.Answer(IDYES);
    DeleteFractal(zeta, true, true);
    EXPECT_EQ("apple|Julia|L1|L2", FolderOrder(folder));
}

// Undo and redo texts from the cursor; the no-fractal state greys them.
TEST_F(Selecting, UndoMenuTexts)
{
    const char* names[] = {"###Starting point", "Zoomed in", "Moved"};
    for (const char* name : names) {
        UndoStep* step = new UndoStep();
        step->SetName(name);
        apple->undoSteps.Append(step);
    }
    struct Case {
        int cursor;   // position of the cursor step
        const char* undo;
        bool undoGrey;
        const char* redo;
        bool redoGrey;
    } cases[] = {
        {1, "Undo: Zoomed in\tCtrl+Z", false, "Redo: Moved\tCtrl+Y", false},
        {0, "Undo\tCtrl+Z", true, "Redo: Zoomed in\tCtrl+Y", false},
        {2, "Undo: Moved\tCtrl+Z", false, "Redo\tCtrl+Y", true},
    };
    for (const Case& c : cases) {
        apple->undoCursor = static_cast<UndoStep*>(apple->undoSteps.GetAt(c.cursor));
        UpdateUndoMenu(apple);
        EXPECT_EQ(c.undo, hooks.texts[CMD_UNDO]);
        EXPECT_EQ(c.undoGrey, hooks.grayed[CMD_UNDO]);
        EXPECT_EQ(c.redo, hooks.texts[CMD_REDO]);
        EXPECT_EQ(c.redoGrey, hooks.grayed[CMD_REDO]);
    }
    // A layer shows its base's history.
    julia->undoSteps.Append(new UndoStep());
    julia->undoSteps.Append(new UndoStep());
    julia->undoSteps.GetTail()->SetName("Layer moved");
    julia->undoCursor = static_cast<UndoStep*>(julia->undoSteps.GetTail());
    UpdateUndoMenu(l1);
    EXPECT_EQ("Undo: Layer moved\tCtrl+Z", hooks.texts[CMD_UNDO]);
    EXPECT_FALSE(hooks.grayed[CMD_COPY_LAYER]);

    UpdateUndoMenu(nullptr);
    EXPECT_EQ("Undo\tCtrl+Z", hooks.texts[CMD_UNDO]);
    EXPECT_EQ("Redo\tCtrl+Y", hooks.texts[CMD_REDO]);
    for (int id : {CMD_UNDO, CMD_REDO, CMD_PASTE_FRACTAL, CMD_BOXZOOM_IN, CMD_PALETTE_256, CMD_3D_TRANSFORM})
        EXPECT_TRUE(hooks.grayed[id]) << id;
    apple->undoCursor = julia->undoCursor = nullptr;
}

// Paste commands follow the clipboard's entry type.
TEST_F(Selecting, PasteCommandsFollowTheClipboard)
{
    char* layered = MakeParameterText(julia, false, -1, true);
    char* plasma = MakeParameterText(apple, false, -1, true);
    struct Case {
        bool set;
        std::string text;
        bool pasteFractalGrey;
        bool pasteLayerGrey;
    } cases[] = {
        {false, "", true, true},
        {true, "just some text that is long enough to pass the length", true, true},
        {true, plasma, false, false},
        {true, layered, false, true},
    };
    for (const Case& c : cases) {
        hooks.clipboardSet = c.set;
        hooks.clipboard = c.text;
        UpdateUndoMenu(apple);
        EXPECT_EQ(c.pasteFractalGrey, hooks.grayed[CMD_PASTE_FRACTAL]) << c.text;
        EXPECT_EQ(c.pasteLayerGrey, hooks.grayed[CMD_PASTE_LAYER]) << c.text;
    }
    free(layered);
    free(plasma);
}

// The clipboard predicate: a compressed entry counts only complete and
// longer than 40 characters; old and Fractint types are escape-time.
TEST(ClipboardEntry, TypeFromTheEntryScan)
{
    const std::string compressed =
        "Two  {\n::iDAAAgHnt54SOMIIUU05sKIsBKabi0mwkuFa3AvAI+S5Xhnx6uvqjd69cyNnxKYI\n"
        "  I8gx5ESBnW8eJL4Lolm0X7l8JH6nIdvUyCwqrubagCh5kW8EMf818cyK45CYQaV3\n"
        "  tZGhSBT+DXXicVt8ikHBfS3xGz14cA2hR4HuTHGY5ZqhW3RIVI1G3mbfr8WOgW9t\n"
        "  +BV3dpUdWFvcm8WBndsSx+zYrhEi\n}";
    const std::string forty = "abc { type=mandel corners=-2/2/-1.5/1.5 }";
    ASSERT_EQ(41u, forty.size());
    struct Case {
        std::string text;
        int want;
    } cases[] = {
        {compressed, FT_LAYERED},
        {compressed.substr(0, compressed.size() - 1), -1},
        {forty, FT_ESCAPETIME},
        {forty.substr(0, 34) + "5/1 }", -1},   // 40 characters
        {"name {\n; comment {\n  reset type=julia params=0.3/0.6 maxiter=200\n}", FT_ESCAPETIME},
        {"name { no type item and nothing else of an entry in here }", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.want, EntryTextFractalType(c.text.c_str())) << c.text;
}

}  // namespace

namespace {

// The colours found in the columns [from, to) of a 32-bit image drawn by
// DrawColouredText: bit 0 red, 1 green, 2 blue, 3 black text pixels.
struct TextImage {
    explicit TextImage(const char* text)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(NULL);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), NULL, 0);
        old = SelectObject(dc, bitmap);
        RECT clip = {0, 0, kWidth, kHeight};
        DrawColouredText(dc, 0, 0, &clip, text);
        GdiFlush();
    }
    ~TextImage()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    int Colours(int from, int to) const
    {
        int found = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = from; x < to && x < kWidth; ++x) {
                DWORD p = bits[y * kWidth + x];
                int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
                if (r > 200 && g < 60 && b < 60) found |= 1;
                if (g > 200 && r < 60 && b < 60) found |= 2;
                if (b > 200 && r < 60 && g < 60) found |= 4;
                if (r < 60 && g < 60 && b < 60) found |= 8;
            }
        return found;
    }
    static const int kWidth = 400, kHeight = 24;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits = nullptr;
};

// Tags switch the colour (the second pair is blue); text before the first
// tag is black; a tag without ">" ends the drawing.
TEST(ColouredText, TagsSwitchColours)
{
    struct Case {
        const char* text;
        int colours;   // over the whole line
    } cases[] = {
        {"plain black text", 8},
        {"<COLOR=ff0000>red", 1},
        {"<COLOR=00ff00>blue", 4},
        {"<COLOR=0000ff>green", 2},
        {"black<COLOR=ff0000>red", 9},
        {"<COLOR=ff0000>red<COLOR=000000", 1},
    };
    for (const Case& c : cases) {
        TextImage image(c.text);
        ASSERT_NE(nullptr, image.bits);
        EXPECT_EQ(c.colours, image.Colours(0, TextImage::kWidth)) << c.text;
    }
}

}  // namespace
