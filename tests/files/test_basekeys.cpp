// The base keys of parameter entries: what WriteBaseKeys writes for a
// default and a changed fractal (the differs rule, the mask, the corner
// digits, stretched corners, the inversion), and what ReadOldKeys makes of
// the header keys, including values out of range or not numbers at all.
#include <gtest/gtest.h>

#include <stdio.h>
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "tests/document/DocumentTestSupport.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/PlainBlocks.h"
#include "files/entry/BaseKeys.h"
#include "files/entry/EntryTokens.h"
#include "foundation/Buffers.h"
#include "foundation/ImageFilter.h"
#include "foundation/List.h"
#include "foundation/bignum/BigNumber.h"
#include "files/entry/TextWriter.h"

namespace {

class BaseKeys : public ::testing::Test {
protected:
    void SetUp() override { PrepareDocumentModel(); }
};

// What WriteBaseKeys writes, through a file of its own in the temporary
// folder (a run of C runtime temporary files can fail under Wine).
std::string Written(Fractal& fractal, int mask)
{
    Fractal standard(fractal.header->Type, fractal.header->Subtype);
    char folder[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    GetTempFileNameA(folder, "bk", 0, path);
    FILE* file = fopen(path, "w+b");
    if (!file)
        return "(no file)";
    TextWriter writer(file);
    WriteBaseKeys(writer, &standard, &fractal, mask);
    rewind(file);
    std::string text;
    for (int c; (c = fgetc(file)) != EOF;)
        text += (char)c;
    fclose(file);
    DeleteFileA(path);
    return text;
}

int Read(Fractal& f, const char* key, const char* value, int mask = -1, int oldType = -2)
{
    char buffer[600];
    snprintf(buffer, sizeof buffer, "%s", value);
    return ReadOldKeys(&f, nullptr, key, buffer, oldType == -2 ? f.header->Type : oldType, false, mask);
}

// Reads every item of written text back into f, as the entry reader does.
void ReadBack(Fractal& f, const std::string& text, int mask)
{
    char token[LONG_TOKEN_CAPACITY];
    for (int pos = 0; (pos = NextLongToken(text.c_str(), token, pos)) >= 0;) {
        char* eq = strchr(token, '=');
        ASSERT_NE(eq, nullptr) << token;
        *eq = 0;
        if (strcasecmp(token, "Type") == 0)
            continue;
        ReadOldKeys(&f, nullptr, token, eq + 1, f.header->Type, false, mask);
    }
}

std::string Text(const GrowBuffer* b)
{
    return b && b->GetData() ? (const char*)b->GetData() : "";
}

}  // namespace

// A fresh fractal writes only Type, Subtype, its corners and DisplayDepth;
// every changed header key appears in table order with its format, and the
// window keys only with bit 0x1000.
TEST_F(BaseKeys, DefaultAndChangedFractalsWriteTheirDifferences)
{
    Fractal f(FT_PLASMA, 0);
    f.typeParameters->SetCorners(-2, 1.5, 1, -1.5);
    EXPECT_EQ("  Type=Plasma Subtype=0 Corners=-2.0/1.0/-1.5/1.5 DisplayDepth=8", Written(f, -1));

    f.header->Width = 800;
    f.header->Dims = 1;
    f.header->ColCycStep = 1.5;
    f.key = 25;
    f.palette.offset = 12.25;
    f.header->WinHeight = 300;
    f.header->Scrollbar = 1;
    f.header->DisplayDepth = 24;
    EXPECT_EQ("  Type=Plasma Subtype=0 Width=800 Dims=1 ColCycStep=1.500\n"
              "  NumFrames=25.000 PalOffset=12.250 WinHeight=300\n"
              "  Corners=-2.0/1.0/-1.5/1.5 Scrollbar=1 DisplayDepth=24",
              Written(f, -1));
    // Presets leave the window keys out; without bit 0x4 only the type and
    // the display depth remain.
    EXPECT_EQ("  Type=Plasma Subtype=0 Dims=1 ColCycStep=1.500 NumFrames=25.000\n"
              "  PalOffset=12.250 Corners=-2.0/1.0/-1.5/1.5 DisplayDepth=24",
              Written(f, -4097));
    EXPECT_EQ("  Type=Plasma Subtype=0 DisplayDepth=24", Written(f, 0x8));
}

// The corners are rounded at d = int(4.5 - log10 width) places, at least
// 1 (FormatBigNumber keeps d + 1 significant digits).
TEST_F(BaseKeys, CornerDigitsFollowTheViewWidth)
{
    const struct {
        const char* left;
        const char* right;
        const char* expected;
    } cases[] = {
        // width 3: d = 4
        {"-2.123456789", "0.876543211", "Corners=-2.1235/0.87654/"},
        // width 1e-4: d = 8
        {"0.123456789123", "0.123556789123", "Corners=0.123456789/0.123556789/"},
        // width 1e-20: d = 24
        {"1.1234567890123456789012345678", "1.1234567890123456789112345678",
         "Corners=1.123456789012345678901235/1.123456789012345678911235/"},
        // width 1e7: d = 1
        {"-5432109", "4567891", "Corners=-5400000.0/4600000.0/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        Fractal f(FT_IFS, 0);
        ViewParameters* v = f.typeParameters;
        v->TopLeftR = c.left;
        v->BottomRightR = c.right;
        v->BottomRightI = 0;
        v->TopLeftI = 1;
        std::string text = Written(f, -1);
        // A long item is continued on the next line after a '\'.
        for (size_t cut; (cut = text.find("\\\n  ")) != std::string::npos;)
            text.erase(cut, 4);
        EXPECT_NE(std::string::npos, text.find(c.expected)) << text;
    }
}

// A stretched view adds the bottom-left corner (TL + BR - TR) and a final
// '/'; read back, the top-right corner returns. An escape-time entry of the
// current form keeps it as a stretched view (no skew transformation).
TEST_F(BaseKeys, StretchedCornersWriteTheBottomLeftCornerAndReadBack)
{
    for (int type : {FT_DYNAMICSYSTEM, FT_ESCAPETIME}) {
        SCOPED_TRACE(type);
        Fractal f(type, 0);
        ViewParameters* v = f.typeParameters;
        v->TopLeftR = "-2";
        v->TopLeftI = "1.5";
        v->BottomRightR = "1";
        v->BottomRightI = "-1.5";
        v->TopRightR = "1.25";
        v->TopRightI = "1.75";
        v->Stretch = 1;
        std::string text = Written(f, -1);
        EXPECT_NE(std::string::npos, text.find("Corners=-2.0/1.0/-1.5/1.5/-2.25/-1.75/")) << text;

        Fractal g(type, 0);
        ReadBack(g, text, -1);
        const ViewParameters* r = g.typeParameters;
        EXPECT_EQ(1, r->Stretch);
        EXPECT_TRUE(r->TopRightR == BigNumber("1.25"));
        EXPECT_TRUE(r->TopRightI == BigNumber("1.75"));
        EXPECT_TRUE(r->TopLeftR == BigNumber("-2"));
        EXPECT_TRUE(r->TopLeftI == BigNumber("1.5"));
        EXPECT_TRUE(r->BottomRightR == BigNumber("1"));
        EXPECT_TRUE(r->BottomRightI == BigNumber("-1.5"));
        if (type == FT_ESCAPETIME) {
            EXPECT_EQ(0, static_cast<const EscapetimeParameters*>(r)->transformations.Count());
        }
    }
}

// invert= carries the radius and the centre; a plain view type reads it
// into its inversion fields with the centre from the text.
TEST_F(BaseKeys, InversionIsWrittenAndReadBack)
{
    Fractal f(FT_PLASMA, 0);
    f.typeParameters->SetCorners(-2, 1.5, 1, -1.5);
    f.typeParameters->Inversion = 1;
    f.typeParameters->InvRadius = 0.75;
    f.typeParameters->InvCenterX = "0.1234567890123456789012345";
    f.typeParameters->InvCenterY = "-0.5";
    std::string text = Written(f, -1);
    EXPECT_NE(std::string::npos, text.find("invert=0.75/0.1234567890123456789012345")) << text;

    Fractal g(FT_PLASMA, 0);
    ReadBack(g, text, -1);
    EXPECT_EQ(1, g.typeParameters->Inversion);
    EXPECT_EQ(0.75, g.typeParameters->InvRadius);
    EXPECT_TRUE(g.typeParameters->InvCenterX == BigNumber("0.1234567890123456789012345"));
    EXPECT_TRUE(g.typeParameters->InvCenterY == BigNumber("-0.5"));

    // Without two '/' the item is consumed and ignored.
    Fractal h(FT_PLASMA, 0);
    EXPECT_EQ(1, Read(h, "INVERT", "2/3"));
    EXPECT_EQ(0, h.typeParameters->Inversion);
}

// Everything WriteBaseKeys writes comes back through ReadOldKeys.
TEST_F(BaseKeys, ChangedHeaderReadsBackEqual)
{
    ImageFilter* filter = new ImageFilter();
    filter->SetName("Blur");
    filter->SetEntryName("Soft_Blur");
    g_ImageFilters.Append(filter);

    Fractal f(FT_LSYSTEM, 0);
    f.typeParameters->SetCorners(-1, 1, 1, -1);
    FractalHeader& h = *f.header;
    h.Subtype = 2;
    h.Width = 1024;
    h.Height = 768;
    h.Dims = 1;
    h.ColCyc = 1;
    h.ColCycUp = 0;
    h.ColCycSpeed = 2.5;
    h.ColCycStep = 0.25;
    f.key = 7.5;
    f.palette.offset = 100.5;
    h.WinWidth = 320;
    h.WinHeight = 200;
    h.ImageFilter = filter;
    h.FilterStep = 3;
    h.Scrollbar = 1;
    h.DisplayDepth = 24;
    std::string text = Written(f, -1);

    Fractal g(FT_LSYSTEM, 0);
    ReadBack(g, text, -1);
    const FractalHeader& r = *g.header;
    EXPECT_EQ(2, r.Subtype);
    EXPECT_EQ(1024, r.Width);
    EXPECT_EQ(768, r.Height);
    EXPECT_EQ(1, r.Dims);
    EXPECT_EQ(1, r.ColCyc);
    EXPECT_EQ(0, r.ColCycUp);
    EXPECT_EQ(2.5, r.ColCycSpeed);
    EXPECT_EQ(0.25, r.ColCycStep);
    EXPECT_EQ(7.5, g.key);
    EXPECT_EQ(100.5, g.palette.offset);
    EXPECT_EQ(320, r.WinWidth);
    EXPECT_EQ(200, r.WinHeight);
    EXPECT_EQ(filter, r.ImageFilter);
    EXPECT_EQ(3, r.FilterStep);
    EXPECT_EQ(1, r.Scrollbar);
    EXPECT_EQ(24, r.DisplayDepth);
    EXPECT_TRUE(g.typeParameters->TopLeftR == BigNumber("-1"));
    EXPECT_TRUE(g.typeParameters->TopLeftI == BigNumber("1"));
    EXPECT_EQ(0, g.typeParameters->Stretch);

    g_ImageFilters.Remove(filter);
    delete filter;
}

// Without bit 0x1000 the window keys are consumed and change nothing.
TEST_F(BaseKeys, WindowKeysNeedTheirMaskBit)
{
    const char* keys[] = {"Width", "HEIGHT", "WinWidth", "WINHEIGHT", "FilterStep", "Scrollbar"};
    for (const char* key : keys) {
        SCOPED_TRACE(key);
        Fractal f(FT_PLASMA, 0);
        Fractal standard(FT_PLASMA, 0);
        EXPECT_EQ(1, Read(f, key, "77", -4097));
        EXPECT_EQ(standard.header->Width, f.header->Width);
        EXPECT_EQ(standard.header->Height, f.header->Height);
        EXPECT_EQ(standard.header->WinWidth, f.header->WinWidth);
        EXPECT_EQ(standard.header->WinHeight, f.header->WinHeight);
        EXPECT_EQ(standard.header->FilterStep, f.header->FilterStep);
        EXPECT_EQ(standard.header->Scrollbar, f.header->Scrollbar);
    }
}

// ColCycUp=1.500 (how older files wrote the step) sets the direction and
// leaves the step; out-of-range integers clamp to the nearer 32-bit limit;
// text that is no number leaves the field as it was.
TEST_F(BaseKeys, NumbersClampOrKeepTheirField)
{
    Fractal f(FT_PLASMA, 0);
    double step = f.header->ColCycStep;
    EXPECT_EQ(1, Read(f, "ColCycUp", "1.500"));
    EXPECT_EQ(1, f.header->ColCycUp);
    EXPECT_EQ(step, f.header->ColCycStep);
    EXPECT_EQ(1, Read(f, "colcycstep", "1.500"));
    EXPECT_EQ(1.5, f.header->ColCycStep);

    const struct {
        const char* value;
        int expected;
    } widths[] = {
        {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}, {"abc", 555}, {"", 555}, {" 42x", 42},
    };
    for (const auto& c : widths) {
        SCOPED_TRACE(c.value);
        f.header->Width = 555;
        EXPECT_EQ(1, Read(f, "WIDTH", c.value));
        EXPECT_EQ(c.expected, f.header->Width);
    }
    f.header->ColCycSpeed = 4;
    EXPECT_EQ(1, Read(f, "ColCycSpeed", "fast"));
    EXPECT_EQ(4, f.header->ColCycSpeed);
    // The scroll-bar byte only ever holds 0 or 1.
    EXPECT_EQ(1, Read(f, "SCROLLBAR", "256"));
    EXPECT_EQ(1, f.header->Scrollbar);
    EXPECT_EQ(1, Read(f, "SCROLLBAR", "no"));
    EXPECT_EQ(1, f.header->Scrollbar);
}

// The info keys: times only with all six numbers, texts with "\n" turned
// into line feeds, author texts, credits records.
TEST_F(BaseKeys, InfoKeysFillHeaderAndTexts)
{
    Fractal f(FT_ESCAPETIME, 0);
    EXPECT_EQ(1, Read(f, "creationTime", "2010/3/14/9/5/7"));
    EXPECT_EQ(2010, f.header->CreationTime.wYear);
    EXPECT_EQ(3, f.header->CreationTime.wMonth);
    EXPECT_EQ(14, f.header->CreationTime.wDay);
    EXPECT_EQ(7, f.header->CreationTime.wSecond);
    EXPECT_EQ(1, Read(f, "SAVETIME", "2011/1/2/3/4"));   // five numbers: ignored
    EXPECT_EQ(0, f.header->SaveTime.wYear);

    EXPECT_EQ(1, Read(f, "commentTemplate", "first\\nsecond"));
    EXPECT_EQ("first\nsecond", Text(f.commentTemplate));
    EXPECT_EQ(1, Read(f, "CommentText", "a\\nb"));
    EXPECT_EQ("a\nb", Text(f.commentText));
    EXPECT_EQ(1, Read(f, "Creator", "Alice Smith"));
    EXPECT_EQ("Alice Smith", Text(f.header->Author));
    EXPECT_EQ(1, Read(f, "ModifiedBy", "Bob"));
    EXPECT_EQ("Bob", Text(f.header->ModifiedBy));
    EXPECT_EQ(1, Read(f, "calcTime", "12345"));
    EXPECT_EQ(12345, f.header->CalcTime);
    EXPECT_EQ(1, Read(f, "bitmapName", "sky.png"));
    EXPECT_STREQ("sky.png", f.imageFileName);
    EXPECT_EQ(1, Read(f, "PaletteAnimation", "1"));
    EXPECT_EQ(1, f.paletteAnimation);
    EXPECT_EQ(1, Read(f, "NumFrames", "12.5"));
    EXPECT_EQ(12.5, f.key);
    // Subtype of an escape-time entry is consumed without effect.
    EXPECT_EQ(1, Read(f, "Subtype", "3"));
    EXPECT_EQ(0, f.header->Subtype);
}

TEST_F(BaseKeys, CreditsRecordsAlternateNamesAndNumbers)
{
    Fractal f(FT_PLASMA, 0);
    f.ClearCredits();
    EXPECT_EQ(1, Read(f, "credits", "Anna;1/2/3/4/5;"));
    ASSERT_EQ(2, f.credits.Count());
    const CreditEntry* a = static_cast<const CreditEntry*>(f.credits.GetHead());
    EXPECT_STREQ("Anna", a->author);
    EXPECT_EQ(1, a->month);
    EXPECT_EQ(2, a->day);
    EXPECT_EQ(3, a->year);
    EXPECT_EQ(4, a->hour);
    EXPECT_EQ(5, a->minute);
    const CreditEntry* b = static_cast<const CreditEntry*>(a->next);
    EXPECT_STREQ("", b->author);
    EXPECT_EQ(0, b->year + b->month + b->day + b->hour + b->minute);

    f.ClearCredits();
    std::string longName(100, 'x');
    Read(f, "CREDITS", (longName + ";3/14/2010/9/5;Bob;1/1/2011/0/0").c_str());
    ASSERT_EQ(2, f.credits.Count());
    a = static_cast<const CreditEntry*>(f.credits.GetHead());
    EXPECT_EQ(std::string(63, 'x'), a->author);
    EXPECT_EQ(2010, a->year);
    EXPECT_EQ(3, a->month);
    b = static_cast<const CreditEntry*>(a->next);
    EXPECT_STREQ("Bob", b->author);
    EXPECT_EQ(2011, b->year);
}

// DisplayDepth sets the bits of the plain types and is consumed without
// effect by quaternions, attractors and layered fractals.
TEST_F(BaseKeys, DisplayDepthByType)
{
    Fractal plasma(FT_PLASMA, 0);
    EXPECT_EQ(1, Read(plasma, "DISPLAYDEPTH", "24"));
    EXPECT_EQ(24, plasma.header->DisplayDepth);
    Fractal quaternion(FT_QUATERNION, 0);
    EXPECT_EQ(1, Read(quaternion, "DisplayDepth", "8"));
    EXPECT_EQ(24, quaternion.header->DisplayDepth);
}

// Keys that are not base keys go back to the caller.
TEST_F(BaseKeys, UnknownKeysAreHandedBack)
{
    Fractal f(FT_PLASMA, 0);
    EXPECT_EQ(0, Read(f, "Sigma", "0.5"));
    EXPECT_EQ(0, Read(f, "MaxIter", "100"));
    Fractal e(FT_ESCAPETIME, 0);
    EXPECT_EQ(0, Read(e, "MaxIter", "100"));   // current form: the descriptor reader's
    EXPECT_EQ(0, Read(e, "OUTSIDE", "atan"));  // a current entry has no such key
}

TEST(MapImportedExtension, RenamesTheImportedFormulaFiles)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"mine.frm", "mine.sfm"}, {"x.UCL", "x.scl"}, {"a.frx", "a.frx"}, {"b.ufm", "b.sfm"},
        {"c.uxf", "c.str"},       {"frm", "frm"},     {"", ""},
    };
    for (const auto& c : cases) {
        char name[64];
        strcpy(name, c.in);
        MapImportedExtension(name);
        EXPECT_STREQ(c.out, name) << c.in;
    }
}
