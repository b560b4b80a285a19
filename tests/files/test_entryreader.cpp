// The entry reader: what the writer wrote comes back equal, the older
// types and Fractint entries become escape-time fractals with the shipped
// formulas, unknown types and undecodable bodies are refused, names with a
// folder part, keepType, quoted braces, six-number corners and nested
// layer fractals.
#include <gtest/gtest.h>

#include <string>

#include "calc/FormulaInstance.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/ParameterTransfer.h"
#include "document/EscapetimeParameters.h"
#include "document/Layer.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "files/entry/EscapeTimeSections.h"
#include "tests/files/EntryTestSupport.h"

using entrytest::EntryTest;
using entrytest::Read;
using entrytest::Text;
using entrytest::WithoutSaveTime;

namespace {

EscapetimeParameters* Block(Fractal* f)
{
    return static_cast<EscapetimeParameters*>(f->typeParameters);
}

double Symbol(const NodeList& list, const char* name)
{
    double v = -12345;
    getSymbolReal(&list, name, &v);
    return v;
}

class EntryReader : public EntryTest {};

}  // namespace

// Every escape-time setting that has a section item survives writing and
// reading: the second text equals the first but for the save time, and
// the values that older code got wrong (names with blanks, colour byte
// order, the enabled flag of a transformation) are checked directly.
TEST_F(EntryReader, EscapeTimeRoundTrip)
{
    Fractal* source = new Fractal();
    ASSERT_TRUE(Read("Source  {\n Type=Escapetime\ntransform:\n filename=\"Spiralix.str\" entry=\"Circle_Inversion\"\n"
                     "inside:\n filename=\"Spiralix.scl\" entry=\"UF_None\"\n}",
                     source));
    EscapetimeParameters* b = Block(source);
    ASSERT_NE(nullptr, b->transformations.GetHead());
    static_cast<FormulaInstance*>(b->transformations.GetHead())->active = 0;
    b->MaxIter = 4321;
    b->Passes = 1;
    b->Periodicity = 5;  // "Very Soft"
    b->Eliminate = 1;
    b->SolidColorTransformation[0] = 200;
    b->SolidOpacityTransformation = 17;
    b->insideColouring.Mapping = 5;
    b->insideColouring.SolidColor[0] = 255;  // red
    b->insideColouring.Offset = 400;
    b->outsideColouring.Mapping = 9;
    b->outsideColouring.Density = 0.125;
    b->outsideColouring.WrapAround = 0;
    b->outsideColouring.SolidOpacity = 3;
    source->header->ColCycStep = 2.5;
    std::string first = Text(source);

    Fractal* copy = new Fractal();
    ASSERT_EQ(copy, Read(first, copy));
    EXPECT_EQ(WithoutSaveTime(first), WithoutSaveTime(Text(copy)));
    EscapetimeParameters* c = Block(copy);
    EXPECT_STREQ("Source", copy->name);
    EXPECT_EQ(4321, c->MaxIter);
    EXPECT_EQ(1, c->Passes);
    EXPECT_EQ(5, c->Periodicity);
    EXPECT_EQ(1, c->Eliminate);
    EXPECT_EQ(255, c->insideColouring.SolidColor[0]);
    EXPECT_EQ(0, c->insideColouring.SolidColor[2]);
    EXPECT_EQ(400, c->insideColouring.Offset);
    EXPECT_EQ(9, c->outsideColouring.Mapping);
    EXPECT_EQ(200, c->SolidColorTransformation[0]);
    EXPECT_EQ(17, c->SolidOpacityTransformation);
    EXPECT_EQ(2.5, copy->header->ColCycStep);
    EXPECT_EQ(1, copy->header->ColCycUp);
    ASSERT_NE(nullptr, c->transformations.GetHead());
    const FormulaInstance* t = static_cast<const FormulaInstance*>(c->transformations.GetHead());
    EXPECT_EQ(0, t->active);
    EXPECT_STREQ("Circle_Inversion", t->entryName);
    EXPECT_NE(0, t->holder->word) << "the transformation compiled";
    EXPECT_STREQ("UF_None", c->inside.entryName);
    delete source;
    delete copy;
}

// The older types and Fractint entries read as escape-time fractals with
// the formulas that stand for them, and the formula parameters that say
// which variant (julia or mandel, subtype) was meant.
TEST_F(EntryReader, OlderTypesBecomeEscapeTime)
{
    struct Case {
        const char* body;
        const char* formula;
        const char* inside;
        const char* outside;
        double fractalType;  // -12345: the parameter is not set
        double subtype;      // kSkip: the formula decides
    };
    const double kSkip = -99999;
    const Case cases[] = {
        {"TYPE=julia24 SUBTYPE=1", "SX_JulMand24", "Refactor_JulMand24_I", "Refactor_JulMand24_O", 0, 1},
        {"TYPE=Mandel24", "SX_JulMand24", "Refactor_JulMand24_I", "Refactor_JulMand24_O", 1, 0},
        {"TYPE=Julia", "SX_JulMand8", "Refactor_JulMand8_I", "Refactor_JulMand8_O", 0, 0},
        {"TYPE=mandel SUBTYPE=2", "SX_JulMand8", "Refactor_JulMand8_I", "Refactor_JulMand8_O", 1, 2},
        {"", "SX_JulMand8", "Refactor_JulMand8_I", "Refactor_JulMand8_O", 1, 0},
        {"TYPE=Formula FORMULAFILE=Spiralix.sfm FORMULANAME=SX_JulMand8", "SX_JULMAND8", "Refactor_JulMand8_I",
         "Refactor_JulMand8_O", 1, 0},
        {"TYPE=Lyapunov SUBTYPE=3", "compLyap", "compLyap", "", -12345, kSkip},
        {"TYPE=Bifurcation", "compBif", "", "compBif", -12345, kSkip},
        {"TYPE=Tiera_Julia", "SXTiera_Mandelbrot", "Refactor_Tierazon", "Refactor_Tierazon", 0, 0},
        {"TYPE=Tiera_Mandel SUBTYPE=4", "SXTiera_Mandelbrot", "Refactor_Tierazon", "Refactor_Tierazon", 1, 4},
        {"TYPE=magnet1j reset=2004", "MAGNET1J", "FractInt_Inside", "FractInt_Outside", -12345, -12345},
    };
    for (const Case& c : cases) {
        Fractal* f = new Fractal();
        ASSERT_EQ(f, Read(std::string("Old  {\n  ") + c.body + "\n}", f)) << c.body;
        ASSERT_EQ(FT_ESCAPETIME, f->header->Type) << c.body;
        EscapetimeParameters* b = Block(f);
        EXPECT_STREQ(c.formula, b->iteration.entryName) << c.body;
        EXPECT_STREQ(c.inside, b->inside.entryName) << c.body;
        EXPECT_STREQ(c.outside, b->outside.entryName) << c.body;
        EXPECT_NE(0, b->iteration.holder->word) << c.body << ": the formula compiled";
        EXPECT_STRNE("Not Found", std::string(b->iteration.foundName).substr(0, 9).c_str()) << c.body;
        EXPECT_EQ(c.fractalType, Symbol(b->iteration.parameters, "fractaltype")) << c.body;
        if (c.subtype != kSkip)
            EXPECT_EQ(c.subtype, Symbol(b->iteration.parameters, "subtype")) << c.body;
        EXPECT_EQ(1.0, b->insideColouring.Density) << c.body;
        EXPECT_EQ(1, b->outsideColouring.Mapping) << c.body;
        delete f;
    }
    Fractal* f = new Fractal();
    ASSERT_TRUE(Read("Fi  {\n TYPE=magnet1j reset=2004\n}", f));
    EXPECT_STREQ("FractInt", Block(f)->iteration.fileName);
    delete f;
}

// A type that neither table knows: a warning naming entry and type, the
// fractal untouched; an undecodable compressed body fails with a message;
// text without braces gives null silently.
TEST_F(EntryReader, RefusedEntriesLeaveTheFractal)
{
    Fractal* f = new Fractal(FT_PLASMA, 0);
    f->SetName("Kept");
    std::string before = Text(f, false);
    EXPECT_EQ(nullptr, Read("Kept  {\n TYPE=foo maxiter=3\n}", f));
    EXPECT_NE(std::string::npos,
              entrytest::Messages().find("Unknown type in entry Kept: FOO  (Fractal not loaded)"));
    EXPECT_EQ(FT_PLASMA, f->header->Type);
    EXPECT_EQ(1, FractalModified(f));
    EXPECT_EQ(before, Text(f, false));

    DeleteAllMessages();
    EXPECT_EQ(nullptr, Read("Packed  {\n ::not-sextets-at-all\n}", f));
    EXPECT_NE(std::string::npos, entrytest::Messages().find("Kept")) << entrytest::Messages();
    EXPECT_EQ(FT_PLASMA, f->header->Type);

    EXPECT_EQ(nullptr, Read("NoBraces Type=Escapetime", f));
    EXPECT_EQ(nullptr, Read("Open  { ; }\n", f)) << "a brace in a comment closes nothing";
    delete f;
}

// Names: [FOLDER].NAME splits only into a folder buffer; a fractal that has
// a name keeps it; keepType keeps the type; comments become the template.
TEST_F(EntryReader, NamesTypesAndComments)
{
    char folder[64] = "";
    Fractal* a = new Fractal();
    ASSERT_TRUE(Read("[Animation].First  {\n}", a, false, folder));
    EXPECT_STREQ("Animation", folder);
    EXPECT_STREQ("First", a->name);
    Fractal* b = new Fractal();
    ASSERT_TRUE(Read("[Animation].First  {\n}", b));
    EXPECT_STREQ("[Animation].First", b->name);
    b->SetName("Mine");
    ASSERT_TRUE(Read("Other  {\n Type=Plasma\n}", b));
    EXPECT_STREQ("Mine", b->name);

    Fractal* q = new Fractal(FT_QUATERNION, 0);
    ASSERT_TRUE(Read("Q  {\n Type=Escapetime maxiter=77\n}", q, true));
    EXPECT_EQ(FT_QUATERNION, q->header->Type);

    Fractal* c = new Fractal();
    ASSERT_TRUE(Read("C  { ; first line\n Type=Plasma ; second\n}", c));
    ASSERT_NE(nullptr, c->commentTemplate->GetData());
    EXPECT_STREQ("first line\nsecond", (const char*)c->commentTemplate->GetData());
    EXPECT_EQ(nullptr, c->commentLines);
    ASSERT_NE(nullptr, c->credits.GetHead());
    EXPECT_STREQ("Unknown Artist", static_cast<CreditEntry*>(c->credits.GetHead())->author);
    delete a;
    delete b;
    delete q;
    delete c;
}

// A brace or ';' inside a quoted value belongs to the value; an own-form
// Corners= with six numbers is the stretched view, not a transformation.
TEST_F(EntryReader, QuotedBracesAndStretchedCorners)
{
    Fractal* f = new Fractal();
    ASSERT_TRUE(Read("Q  {\n Type=Escapetime commentTemplate=\"a } b ; { c\"\n"
                     " Corners=-2/2/-1.5/1.5/-2.5/-1.5/\nformula:\n maxiter=99\n}",
                     f));
    EXPECT_STREQ("a } b ; { c", (const char*)f->commentTemplate->GetData());
    EscapetimeParameters* b = Block(f);
    EXPECT_EQ(99, b->MaxIter);
    EXPECT_EQ(1, b->Stretch);
    EXPECT_EQ(nullptr, b->transformations.GetHead());
    delete f;
}

// Layers of the own form: each layer: with its layerfractal: gets its own
// fractal in order; a layer: without one is dropped.
TEST_F(EntryReader, LayeredEntryWithNestedFractals)
{
    Fractal* f = new Fractal();
    ASSERT_TRUE(Read("L  {\n Type=Layered_Fractal\nlayer:\nlayerfractal:\n Type=Escapetime\nformula:\n maxiter=11\n"
                     "layer:\nlayerfractal:\n Type=Escapetime\nformula:\n maxiter=22\nlayer:\n}",
                     f));
    ASSERT_EQ(FT_LAYERED, f->header->Type);
    LayeredParameters* block = static_cast<LayeredParameters*>(f->typeParameters);
    ASSERT_EQ(2, block->layers.Count());
    Layer* first = static_cast<Layer*>(block->layers.GetHead());
    Layer* second = static_cast<Layer*>(first->next);
    ASSERT_NE(nullptr, first->fractal);
    ASSERT_NE(nullptr, second->fractal);
    EXPECT_EQ(11, Block(first->fractal)->MaxIter);
    EXPECT_EQ(22, Block(second->fractal)->MaxIter);
    EXPECT_EQ(f, first->fractal->baseFractal);
    EXPECT_EQ(nullptr, first->fractal->credits.GetHead()) << "layer fractals get no credit";
    delete f;
}

// The section keys: names without case, old periodicity words, method,
// the imported form's offset and solid colour, unknown and mis-cased keys.
TEST_F(EntryReader, SectionKeys)
{
    Fractal* f = new Fractal(FT_ESCAPETIME, 0);
    EscapetimeParameters* b = Block(f);
    struct Case {
        int section;
        const char* key;
        const char* value;
        bool imported;
    };
    const Case items[] = {
        {SEC_FORMULA, "percheck", "conservative", false}, {SEC_FORMULA, "Maxiter", "5", false},
        {SEC_FORMULA, "method", "multipass", false},      {SEC_INSIDE, "transfer", "cuberoot", false},
        {SEC_OUTSIDE, "offset", "400", true},             {SEC_OUTSIDE, "solid", "4278190080", true},
        {SEC_INSIDE, "transfer", "nonsense", false},      {SEC_FORMULA, "maxiter", "abc", false},
    };
    for (const Case& c : items) {
        std::string value = c.value;
        EXPECT_EQ(1, ReadSectionKeys(f, c.section, nullptr, c.key, &value[0], nullptr, c.imported, 4.0));
    }
    EXPECT_EQ(1, b->Periodicity);
    EXPECT_EQ(150, b->MaxIter);
    EXPECT_EQ(2, b->Passes);
    EXPECT_EQ(0, b->Eliminate);
    EXPECT_EQ(5, b->insideColouring.Mapping);
    EXPECT_EQ(252, b->outsideColouring.Offset);
    EXPECT_EQ(0, b->outsideColouring.SolidColor[0]);
    EXPECT_EQ(255, b->outsideColouring.SolidOpacity);
    std::string rough = "rough";
    ReadSectionKeys(f, SEC_FORMULA, nullptr, "percheck", &rough[0], nullptr, false, 4.0);
    EXPECT_EQ(4, b->Periodicity);
    Fractal* plasma = new Fractal(FT_PLASMA, 0);
    std::string v = "1";
    EXPECT_EQ(0, ReadSectionKeys(plasma, SEC_FORMULA, nullptr, "maxiter", &v[0], nullptr, false, 4.0));
    EXPECT_EQ(0, ReadSectionKeys(nullptr, SEC_FORMULA, nullptr, "maxiter", &v[0], nullptr, false, 4.0));
    delete plasma;
    delete f;
}

// The layered form of other programs' files, plain and compressed: one
// layer fractal per layer: section in order, mapping: before the first
// layer ignored, and an outside colouring without formula given the
// program's plain one.
TEST_F(EntryReader, LayeredFormPlainAndCompressed)
{
    const std::string plain =
        "Two  {\nfractal:\n  title=\"Two\" width=320 height=200\nlayer:\n  caption=\"Background\" opacity=100\n"
        "mapping:\n  center=0/0 magn=1\nformula:\n  maxiter=77\noutside:\n  transfer=sqr solid=4278190080\n"
        "layer:\n  caption=\"Second\"\nformula:\n  maxiter=88\n}";
    // tools/entry_compress.py over the body of plain.
    const std::string compressed =
        "Two  {\n::iDAAAgHnt54SOMIIUU05sKIsBKabi0mwkuFa3AvAI+S5Xhnx6uvqjd69cyNnxKYI\n"
        "  I8gx5ESBnW8eJL4Lolm0X7l8JH6nIdvUyCwqrubagCh5kW8EMf818cyK45CYQaV3\n"
        "  tZGhSBT+DXXicVt8ikHBfS3xGz14cA2hR4HuTHGY5ZqhW3RIVI1G3mbfr8WOgW9t\n"
        "  +BV3dpUdWFvcm8WBndsSx+zYrhEi\n}";
    for (const std::string& text : {plain, compressed}) {
        Fractal* f = new Fractal();
        ASSERT_EQ(f, Read(text, f)) << text;
        ASSERT_EQ(FT_LAYERED, f->header->Type);
        LayeredParameters* block = static_cast<LayeredParameters*>(f->typeParameters);
        ASSERT_EQ(2, block->layers.Count());
        Layer* first = static_cast<Layer*>(block->layers.GetHead());
        Layer* second = static_cast<Layer*>(first->next);
        ASSERT_NE(nullptr, first->fractal);
        ASSERT_NE(nullptr, second->fractal);
        EXPECT_EQ(77, Block(first->fractal)->MaxIter);
        EXPECT_EQ(88, Block(second->fractal)->MaxIter);
        EXPECT_EQ(2, Block(first->fractal)->outsideColouring.Mapping);
        EXPECT_EQ(255, Block(first->fractal)->outsideColouring.SolidOpacity);
        EXPECT_STREQ("UF_None", Block(second->fractal)->outside.entryName);
        EXPECT_EQ(f, second->fractal->baseFractal);
        delete f;
    }
}

// Imported formula names: a library file is found by its name without
// extension and the name becomes the library file's; an unknown file stays
// as it was. A Fractint formula entry naming a ".frm" file is looked up by
// the formula's name alone.
TEST_F(EntryReader, LocatesImportedFormulas)
{
    char file[64] = "fractint";
    EXPECT_NE(0, LocateFormulaEntry(file, "MAGNET1J"));
    EXPECT_STREQ("FractInt.sfm", file);
    char missing[64] = "nowhere.frm";
    EXPECT_EQ(0, LocateFormulaEntry(missing, "MAGNET1J"));
    EXPECT_STREQ("nowhere.frm", missing);

    Fractal* f = new Fractal();
    ASSERT_TRUE(Read("F  {\n reset=2004 type=formula formulafile=fractint.frm formulaname=Mandel\n}", f));
    EXPECT_EQ(nullptr, strstr(Block(f)->iteration.fileName, ".FRM")) << Block(f)->iteration.fileName;
    EXPECT_STREQ("MANDEL", Block(f)->iteration.entryName);
    EXPECT_STREQ("FractInt_Inside", Block(f)->inside.entryName);
    delete f;
}

// Quaternion entries of older versions: 3.1 and before had no aspect
// ratio (0.8 then); before 4.0 light 1 came from two angles.
TEST_F(EntryReader, OldQuaternionEntriesAreUpgraded)
{
    Fractal* old = new Fractal();
    ASSERT_TRUE(Read("Q  {\n version=3.0 Type=Quaternion\n}", old));
    QuaternionParameters* q = static_cast<QuaternionParameters*>(old->typeParameters);
    EXPECT_EQ(0.8, q->aspectRatio);
    EXPECT_EQ(1, q->flipObject);
    EXPECT_NEAR(-1000.0, q->lights.position[0][2], 1e-9) << "both angles 0: light 1 straight ahead";
    Fractal* current = new Fractal();
    ASSERT_TRUE(Read("Q  {\n version=4.0 Type=Quaternion\n}", current));
    Fractal* fresh = new Fractal(FT_QUATERNION, 0);
    EXPECT_EQ(static_cast<QuaternionParameters*>(fresh->typeParameters)->aspectRatio,
              static_cast<QuaternionParameters*>(current->typeParameters)->aspectRatio);
    delete old;
    delete current;
    delete fresh;
}
