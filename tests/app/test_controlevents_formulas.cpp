// The formula trees' callbacks: the information page of a compiled formula
// (counts, hidden compiler symbols, type names), the test compile on
// selection with its status line, the editor's text going back into the
// entry shown before, and the refusals of the transformation tree.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/ControlEvents.h"
#include "app/FormulaTreeEvents.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "calc/FormulaInstance.h"
#include "document/EscapetimeParameters.h"
#include "document/Undo.h"
#include "formulas/FormulaKind.h"
#include "formulas/FormulaNode.h"
#include "tests/document/FolderTestSupport.h"
#include "tests/formulas/FormulaTestSupport.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

using namespace formulatest;

const char* kGood =
    "Good {\n"
    "\tparameter real bailout;\n"
    "\tparameter real unused;\n"
    "\tcomplex c;\n"
    "\tvoid init(void)\n\t{\n\t\tc = pixel * (2.0 * 3.0);\n\t\tz = 0;\n\t}\n"
    "\tvoid loop(void)\n\t{\n\t\tz = z * z + c;\n\t}\n"
    "\tbool bailout(void)\n\t{\n\t\treturn(|z| < bailout);\n\t}\n"
    "}\n";
const char* kBad = "Bad {\n\tvoid init(void)\n\t{\n\t\tz = ;\n\t}\n}\n";

struct Recorder {
    std::vector<std::string> status, editor;
    std::vector<FormulaInfo> info;
    std::string editorText;
    FormulaNode* edited = nullptr;
    FormulaNode* selected = nullptr;
};
Recorder* g_rec;

FormulaNode* NewEntry(FormulaNode* file, const char* name, const char* text, int flag = ENTRY_PLANE)
{
    FormulaNode* entry = new FormulaNode(file->formulaKind, file->formulaKind == FK_TRANSFORMATION ? FNK_TRANSFORMATION
                                                                                                  : FNK_FORMULA);
    entry->nameText = _strdup(name);
    entry->entryText = text != nullptr ? _strdup(text) : nullptr;
    entry->int1 = flag;
    entry->parent = file;
    file->children.Append(entry);
    return entry;
}

class FormulaTrees : public FolderFixture {
protected:
    void SetUp() override
    {
        FolderFixture::SetUp();
        g_rec = &rec;
        g_FormulaTreeWindows.editorText = [] { return g_rec->editorText.c_str(); };
        g_FormulaEditorSetText = [](int kind, const char* t) {
            g_rec->editor.push_back(std::to_string(kind) + ":" + t);
        };
        g_FormulaTreeWindows.showStatus = [](const char* t) { g_rec->status.push_back(t); };
        g_FormulaTreeWindows.showInfo = [](const FormulaInfo& i) { g_rec->info.push_back(i); };
        g_FormulaTreeWindows.selectedItem = [](int) { return g_rec->selected; };
        file = new FormulaNode(FK_ITERATION, FNK_FILE);
        file->nameText = _strdup("Test.sfm");
        good = NewEntry(file, "Good", kGood);
        bad = NewEntry(file, "Bad", kBad);
    }
    void TearDown() override
    {
        ForgetFormulaTreeEntry(good);
        ForgetFormulaTreeEntry(bad);
        g_FormulaTreeWindows = FormulaTreeWindows{};
        g_FormulaEditorSetText = nullptr;
        for (FormulaNode*& f : g_FormulaEditorFiles)
            f = nullptr;
        file->children.DeleteAllNodes();
        delete file;
        FolderFixture::TearDown();
    }
    Recorder rec;
    FormulaNode *file, *good, *bad;
};

// The page counts only parameters the formula reads, sums the code of the
// compiled functions, and never lists the compiler's own symbols.
TEST_F(FormulaTrees, InfoPageOfACompiledFormula)
{
    FormulaHolder holder(FK_ITERATION);
    holder.SetSource(kGood);
    holder.word = holder.compiler->compile(holder.text, 0, -128, nullptr, nullptr, nullptr, "Good", SK_PLANE,
                                           nullptr, false, false);
    ASSERT_TRUE(holder.word);
    FormulaInfo info;
    info.rows.push_back({"stale", "", "", ""});
    ShowFormulaInfo(&holder, &info);

    int all = 0, variables = 0, constants = 0, hidden = 0, bytes = 0, functions = 0;
    for (ListNode* n = holder.compiler->symbols.GetHead(); n; n = n->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(n);
        all++;
        variables += s->symbolClass == SYM_VARIABLE;
        constants += s->symbolClass == SYM_CONSTANT;
        hidden += strncmp(s->name, "INFO:", 5) == 0 || strncmp(s->name, "__O_", 4) == 0 ||
                  strncmp(s->name, "__I_", 4) == 0 || s->dataType == DT_SEPARATOR;
    }
    for (ListNode* n = holder.compiler->functions.GetHead(); n; n = n->next)
        if (static_cast<FormulaFunction*>(n)->codeLength != FUNCTION_NOT_COMPILED) {
            functions++;
            bytes += static_cast<FormulaFunction*>(n)->codeLength;
        }
    holder.compiler->freeResults();

    EXPECT_GT(hidden, 0) << "the fixture must make the compiler add symbols of its own";
    EXPECT_EQ("1", info.parameters);  // "unused" is never read
    EXPECT_EQ(std::to_string(all) + " / " + std::to_string(variables) + " / " + std::to_string(constants),
              info.symbols);
    EXPECT_GT(bytes, 0);
    EXPECT_EQ(std::to_string(functions), info.functions);
    EXPECT_EQ(std::to_string(bytes) + " Bytes", info.codeSize);
    EXPECT_EQ((size_t)(all - hidden), info.rows.size());
    bool sawBailout = false;
    for (const FormulaInfoRow& row : info.rows) {
        EXPECT_NE(0, strncmp(row.name.c_str(), "INFO:", 5)) << row.name;
        EXPECT_NE("stale", row.name);
        if (row.name == "bailout") {
            sawBailout = true;
            EXPECT_EQ("real", row.type);
            EXPECT_NE("0", row.firstCounter);
        }
    }
    EXPECT_TRUE(sawBailout);

    // An uncompiled holder leaves the page empty.
    FormulaHolder uncompiled(FK_ITERATION);
    ShowFormulaInfo(&uncompiled, &info);
    EXPECT_TRUE(info.rows.empty());
    EXPECT_EQ("", info.parameters);
}

TEST(FormulaInfoTypeNames, ByDataType)
{
    const struct {
        int type;
        const char* name;
    } kCases[] = {{0, "complex"},        {1, "real"},         {2, "int"},    {3, "bool"},  {4, "quaternion"},
                  {5, "Unknown"},        {6, "dynamic array"}, {7, "static array"}, {8, "color"},
                  {9, "Unknown"},        {10, "Unknown"},     {11, "vector"}, {-1, "Unknown"}};
    for (const auto& c : kCases)
        EXPECT_STREQ(c.name, FormulaInfoTypeName(c.type)) << c.type;
}

// Selecting an entry shows and test-compiles it; the next selection first
// hands the edited text back to it. A failing entry clears the page.
TEST_F(FormulaTrees, SelectionCompilesAndTakesTheEditorTextBack)
{
    TreeSelectionChanged(FORMULA_TREE_ITERATION, good, true);
    ASSERT_EQ(1u, rec.status.size());
    EXPECT_EQ("Formula has been successfully compiled", rec.status[0]);
    EXPECT_EQ(std::string("1:") + kGood, rec.editor.at(0));
    ASSERT_EQ(1u, rec.info.size());
    EXPECT_FALSE(rec.info[0].rows.empty());
    EXPECT_EQ(good, RememberedFormulaEntry(FORMULA_TREE_ITERATION));
    EXPECT_EQ(nullptr, RememberedFormulaEntry(FORMULA_TREE_COLORING));

    rec.edited = good;
    g_FormulaTreeWindows.isEdited = [](FormulaNode* n) { return n == g_rec->edited; };
    rec.editorText = "Good { changed }";
    TreeSelectionChanged(FORMULA_TREE_ITERATION, bad, true);
    EXPECT_STREQ("Good { changed }", good->entryText);
    EXPECT_EQ(1, good->int2) << "an entry that took new text is marked modified";
    EXPECT_EQ("Formula contains errors.", rec.status.at(1));
    EXPECT_TRUE(rec.info.at(1).rows.empty());
    EXPECT_EQ("", rec.info.at(1).codeSize);

    // An entry not open in the editor keeps its text; one without text
    // shows an empty editor and compiles nothing.
    rec.edited = nullptr;
    FormulaNode* empty = NewEntry(file, "Empty", nullptr);
    TreeSelectionChanged(FORMULA_TREE_ITERATION, empty, true);
    EXPECT_STREQ(kBad, bad->entryText);
    EXPECT_EQ("1:", rec.editor.back());
    EXPECT_EQ(2u, rec.status.size());
    ForgetFormulaTreeEntry(empty);

    // A file shows its comment and becomes the editor's file; leaving it
    // hands the edited comment back.
    file->entryText = _strdup("; comment");
    TreeSelectionChanged(FORMULA_TREE_ITERATION, file, true);
    EXPECT_EQ("1:; comment", rec.editor.back());
    EXPECT_EQ(file, g_FormulaEditorFiles[FK_ITERATION]);
    rec.editorText = "; new comment";
    TreeSelectionChanged(FORMULA_TREE_ITERATION, good, true);
    EXPECT_STREQ("; new comment", file->entryText);
    EXPECT_EQ(nullptr, g_FormulaEditorFiles[FK_ITERATION]);
}

// Leaving a library entry writes its file back with the edited text and
// builds the library's index again (other formulas compile against it).
TEST_F(FormulaTrees, LibraryEntryIsWrittenBackWithItsIndex)
{
    TempFolder folder;
    std::string library = folder.CopyFixture("mathlib.lib");
    FormulaNode* root = new FormulaNode(FK_LIBRARY, FNK_FOLDER);
    root->nameText = _strdup(folder.Path().c_str());
    FormulaRoot(FK_LIBRARY)->Append(root);
    FormulaNode* lib = new FormulaNode(FK_LIBRARY, FNK_FILE);
    lib->nameText = _strdup("mathlib.lib");
    root->InsertChild(lib);
    lib->LoadEntries(nullptr);
    FormulaNode* realmath = FormulaNode::FindChild(lib->children.GetHead(), "realmath");
    FormulaNode* complexmath = FormulaNode::FindChild(lib->children.GetHead(), "complexmath");
    ASSERT_NE(nullptr, realmath);
    ASSERT_NE(nullptr, complexmath);

    TreeSelectionChanged(FORMULA_TREE_LIBRARY, realmath, true);
    rec.editorText = "realmath\n{\n\treal half(real v)\n\t{\n\t\treturn(v/4);\n\t}\n}";
    TreeSelectionChanged(FORMULA_TREE_LIBRARY, complexmath, true);
    std::string written = ReadBytes(library);
    EXPECT_NE(std::string::npos, written.find("return(v/4);")) << written;
    EXPECT_NE(std::string::npos, written.find("return(a*2);"));
    EXPECT_NE(std::string::npos, ReadBytes(folder / "mathlib.slb").find("half"));
    ForgetFormulaTreeEntry(realmath);
    ForgetFormulaTreeEntry(complexmath);
    ClearFormulaTrees();
}

// The transformation tree refuses other fractal types and entries written
// for another kind of fractal, each with its own box; nothing is added.
TEST_F(FormulaTrees, TransformationRefusals)
{
    FractalFolder* folder = NewFolder("F");
    SetCurrentFolder(folder);
    const struct {
        int type, flag;
        const char* title;
        const char* text;
    } kCases[] = {
        {FT_PLASMA, ENTRY_PLANE, "Not implemented", "Compiling formulas for this type not implemented."},
        {FT_ESCAPETIME, ENTRY_QUATERNION, "Error",
         "This formula has not been written for fractal type \"Quaternion\".\nIt cannot be compiled for "
         "Escapetime and thus cannot\nbe assigned to an Escapetime fractal."},
        {FT_QUATERNION, ENTRY_PLANE, "Error",
         "This formula has not been written for fractal type \"Escapetime\".\nIt cannot be compiled for "
         "Quaternions and thus cannot\nbe assigned to a Quaternion."},
    };
    FormulaNode* transformations = new FormulaNode(FK_TRANSFORMATION, FNK_FILE);
    for (const auto& c : kCases) {
        Fractal* f = Named("f", c.type);
        folder->AddFractal(f, false);
        folder->currentFractal = f;
        rec.selected = NewEntry(transformations, "T", "T { }", c.flag);
        ScriptedBoxes boxes;
        EXPECT_EQ(0, HandleItemActivated(FORMULA_TREE_TRANSFORMATION));
        std::vector<ShownBox> shown = boxes.Shown();
        ASSERT_EQ(1u, shown.size()) << c.type;
        EXPECT_EQ(c.title, shown[0].title);
        EXPECT_EQ(c.text, shown[0].text);
    }
    transformations->children.DeleteAllNodes();
    delete transformations;
}

std::string LastUndo(Fractal* f)
{
    ListNode* last = f->undoSteps.GetTail();
    return last != nullptr ? last->name : "";
}

// Activating an iteration entry compiles the editor's text into the
// fractal's iteration slot and records it; a formula that compiles for
// quaternions only is refused and changes nothing.
TEST_F(FormulaTrees, IterationEntryBecomesTheFormula)
{
    FractalFolder* folder = NewFolder("F");
    SetCurrentFolder(folder);
    Fractal* f = Named("e", FT_ESCAPETIME);
    folder->AddFractal(f, false);
    folder->currentFractal = f;
    EscapetimeParameters* block = static_cast<EscapetimeParameters*>(f->typeParameters);

    rec.selected = good;
    rec.editorText = kGood;
    HandleItemActivated(FORMULA_TREE_ITERATION);
    EXPECT_STREQ("Good", block->iteration.entryName);
    EXPECT_STREQ("Test.sfm", block->iteration.fileName);
    EXPECT_STREQ(kGood, block->iteration.holder->GetSource());
    EXPECT_EQ("New formula: Good", LastUndo(f));
    bool hasBailout = false;
    for (ListNode* n = block->iteration.parameters.GetHead(); n; n = n->next)
        hasBailout |= strcmp(n->name, "bailout") == 0;
    EXPECT_TRUE(hasBailout) << "the new formula's parameters are stored";

    const char* quaternionOnly = "Q(QUATERNION) {\n\tvoid loop(void)\n\t{\n\t\tz = z * z;\n\t}\n}\n";
    FormulaNode* q = NewEntry(file, "Q", quaternionOnly, ENTRY_QUATERNION);
    rec.selected = q;
    rec.editorText = quaternionOnly;
    {
        ScriptedBoxes boxes;
        HandleItemActivated(FORMULA_TREE_ITERATION);
        ASSERT_EQ(1u, boxes.Shown().size());
        EXPECT_EQ("Wrong Formula", boxes.Shown()[0].title);
        EXPECT_EQ("This formula has not been written for fractal type \"Escapetime\".\nIt cannot be compiled for "
                  "Escapetime and thus cannot\nbe assigned to an Escapetime fractal.",
                  boxes.Shown()[0].text);
    }
    EXPECT_STREQ("Good", block->iteration.entryName);
    EXPECT_STREQ(kGood, block->iteration.holder->GetSource());
}

// A fitting transformation entry is inserted behind the selected
// transformation and becomes the selected one.
TEST_F(FormulaTrees, TransformationInsertedBehindTheSelectedOne)
{
    FractalFolder* folder = NewFolder("F");
    SetCurrentFolder(folder);
    Fractal* f = Named("e", FT_ESCAPETIME);
    folder->AddFractal(f, false);
    folder->currentFractal = f;
    EscapetimeParameters* block = static_cast<EscapetimeParameters*>(f->typeParameters);
    FormulaInstance* first = new FormulaInstance(f, "A", "T.str");
    FormulaInstance* last = new FormulaInstance(f, "C", "T.str");
    block->transformations.Append(first);
    block->transformations.Append(last);
    block->selectedTransformation = first;

    FormulaNode* transformations = new FormulaNode(FK_TRANSFORMATION, FNK_FILE);
    transformations->nameText = _strdup("T.str");
    rec.selected = NewEntry(transformations, "B", "B {\n\tvoid transform(void)\n\t{\n\t\tpixel = pixel * 2;\n\t}\n}\n");
    HandleItemActivated(FORMULA_TREE_TRANSFORMATION);
    ASSERT_EQ(3, block->transformations.Count());
    FormulaInstance* added = static_cast<FormulaInstance*>(block->transformations.GetAt(1));
    EXPECT_STREQ("B", added->entryName);
    EXPECT_STREQ("T.str", added->fileName);
    EXPECT_EQ(added, block->selectedTransformation);
    EXPECT_EQ("New transformation", LastUndo(f));
    transformations->children.DeleteAllNodes();
    delete transformations;
}

// The browser tree assigns entries only, never folders or files.
TEST_F(FormulaTrees, BrowserAssignsEntriesOnly)
{
    static std::vector<std::string> assigned;
    assigned.clear();
    g_FormulaTreeWindows.assignFromBrowser = [](FormulaNode* n, bool keep) {
        assigned.push_back(std::string(n->nameText) + (keep ? " keep" : " reset"));
    };
    rec.selected = file;
    HandleItemActivated(FORMULA_BROWSER_TREE);
    EXPECT_TRUE(assigned.empty());
    rec.selected = good;
    HandleItemActivated(FORMULA_BROWSER_TREE);
    g_FormulaTreeWindows.shiftDown = [] { return true; };
    HandleItemActivated(FORMULA_BROWSER_TREE);
    EXPECT_EQ((std::vector<std::string>{"Good keep", "Good reset"}), assigned);
}

}  // namespace
