// The entry writer and the two save commands: the order and frame of a
// written entry, the part mask and the frame flags, entries kept unparsed,
// comment tags and credits, files on disk (CR LF, three line breaks after
// an appended entry), and saving into existing files with the questions
// answered by a script.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "document/EscapetimeParameters.h"
#include "document/FractalFolder.h"
#include "document/Layer.h"
#include "files/entry/ParameterFile.h"
#include "foundation/Buffers.h"
#include "tests/files/EntryTestSupport.h"
#include "tests/support/ScriptedBoxes.h"

using entrytest::EntryTest;
using entrytest::Read;
using entrytest::Text;
using entrytest::WithoutSaveTime;
using formulatest::TempFolder;

namespace {

std::string Bytes(const std::string& path)
{
    std::string text;
    ReadWholeFile(path.c_str(), text);
    return text;
}

std::string Crlf(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class EntryWriter : public EntryTest {};

}  // namespace

// A fresh escape-time fractal: name line, info items, version, base keys
// without the default-valued ones, the sections in their order and the
// closing brace on a line of its own.
TEST_F(EntryWriter, FreshEscapeTimeEntry)
{
    Fractal* f = new Fractal(FT_ESCAPETIME, 0);
    std::string text = Text(f);
    EXPECT_EQ(0u, text.find("Escapetime  {\n")) << text;
    for (const char* item : {"creationTime=", "saveTime=", "Creator=\"\"", "calcTime=", "version=4.0",
                             "Type=Escapetime", "Subtype=0", "Corners=", "DisplayDepth=24",
                             "passes=\"3 Passes\"", "percheck=\"Normal\"", "elimination=\"Each Pass\"",
                             "transfer=Linear", "maxiter=150"})
        EXPECT_NE(std::string::npos, text.find(item)) << item << "\n" << text;
    EXPECT_EQ(std::string::npos, text.find("Width=")) << "a default value is not written";
    size_t last = 0;
    for (const char* section : {"\ndims:\n", "\nformula:\n", "\ninside:\n", "\noutside:\n", "\ngradient:\n"}) {
        size_t at = text.find(section);
        ASSERT_NE(std::string::npos, at) << section;
        EXPECT_LT(last, at) << section;
        last = at;
    }
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ("\n}", text.substr(text.size() - 2));
    delete f;
}

// The flags of the callers: no braces means no name line, version or
// closing brace; no info means no info items; the mask drops sections.
TEST_F(EntryWriter, FrameFlagsAndMask)
{
    Fractal* f = new Fractal(FT_ESCAPETIME, 0);
    char* bare = MakeParameterText(f, false, -1, false);
    std::string text = bare;
    free(bare);
    EXPECT_EQ(std::string::npos, text.find("Escapetime  {"));
    EXPECT_EQ(std::string::npos, text.find("version="));
    EXPECT_EQ(std::string::npos, text.find("creationTime="));
    EXPECT_EQ(std::string::npos, text.find('}'));
    EXPECT_NE(std::string::npos, text.find("Type=Escapetime"));

    char* masked = MakeParameterText(f, true, -1 & ~0x80 & ~0x20, true);
    text = masked;
    free(masked);
    EXPECT_EQ(std::string::npos, text.find("formula:"));
    EXPECT_EQ(std::string::npos, text.find("gradient:"));
    EXPECT_NE(std::string::npos, text.find("inside:"));
    delete f;
}

// A fractal whose entry was never parsed is written back as it was read;
// comment tags take the values of the moment of writing; credits list
// name and date.
TEST_F(EntryWriter, UnparsedTextCommentsAndCredits)
{
    Fractal* f = new Fractal(FT_ESCAPETIME, 0);
    f->SetName("Odd");
    f->pendingEntryText = _strdup("{ ; kept as it was\n    maxiter=7   Type=Escapetime\n}");
    EXPECT_EQ("Odd  { ; kept as it was\n    maxiter=7   Type=Escapetime\n}", Text(f));
    free(f->pendingEntryText);
    f->pendingEntryText = nullptr;

    f->credits.DeleteAllNodes();
    f->credits.Append(new CreditEntry("Alice", 2010, 3, 14, 9, 5));
    f->commentLines = _strdup("made in $year$\n\nsecond");
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string text = Text(f);
    EXPECT_NE(std::string::npos, text.find("credits=\"Alice;3/14/2010/9/5\"")) << text;
    EXPECT_NE(std::string::npos, text.find("                  ; made in " + std::to_string(now.wYear) + "\n"));
    EXPECT_NE(std::string::npos, text.find("                  ; second\n"));
    EXPECT_EQ(2u, Occurrences(text, "                  ;")) << "the empty line is dropped";
    delete f;
}

// Into a file the writer opens itself: CR LF on disk, braces always, three
// line breaks after an appended entry; two writings differ only in saveTime.
TEST_F(EntryWriter, FilesOnDisk)
{
    TempFolder folder;
    Fractal* f = new Fractal(FT_PLASMA, 0);
    WriteParameterEntry(nullptr, f, folder.Path().c_str(), "a.par", true, true, -1, 0, false);
    WriteParameterEntry(nullptr, f, folder.Path().c_str(), "a.par", true, true, -1, 0, false);
    std::string bytes = Bytes(folder / "a.par");
    std::string entry = Crlf(Text(f));
    EXPECT_EQ(WithoutSaveTime(entry + "\r\n\r\n\r\n" + entry + "\r\n\r\n\r\n"), WithoutSaveTime(bytes));
    EXPECT_EQ(Occurrences(bytes, "\n"), Occurrences(bytes, "\r\n"));
    WriteParameterEntry(nullptr, f, nullptr, nullptr, false, true, -1, 0, true);  // nowhere: nothing happens
    delete f;
}

// Saving one fractal: a new file gets a line break and the entry; an entry
// of the same name is replaced (Yes) exactly, or the new one appended (No),
// or nothing happens (Cancel); an odd file asks first. The temporary file
// never stays.
TEST_F(EntryWriter, SaveFractalAsksAndPlaces)
{
    TempFolder folder;
    std::string path = folder / "s.par";
    Fractal* f = new Fractal(FT_PLASMA, 0);
    f->SetName("Mine");
    FractalModified(f) = 1;
    {
        ScriptedBoxes boxes;
        ASSERT_TRUE(SaveFractalToParameterFile(f, path.c_str()));
        EXPECT_EQ(0u, boxes.Count());
    }
    std::string entry = Crlf(Text(f));
    EXPECT_EQ(WithoutSaveTime("\r\n" + entry), WithoutSaveTime(Bytes(path)));
    EXPECT_EQ(0, FractalModified(f));
    EXPECT_FALSE(FileExists(folder / "~tmp0091.bac"));

    const std::string before = "; head\r\nOther  {\r\n}\r\nMine  {\r\n  old=\"}\"\r\n}\r\nLast  {\r\n}\r\n";
    struct Case {
        int answer;
        bool saved;
        std::string expected;
    };
    const Case cases[] = {
        {IDYES, true, "; head\r\nOther  {\r\n}\r\n" + entry + "\r\nLast  {\r\n}\r\n"},
        {IDNO, true, before + "\r\n" + entry},
        {IDCANCEL, false, before},
    };
    for (const Case& c : cases) {
        formulatest::WriteBytes(path, before);
        FractalModified(f) = 1;
        ScriptedBoxes boxes;
        boxes.Answer(c.answer);
        EXPECT_EQ(c.saved, SaveFractalToParameterFile(f, path.c_str())) << c.answer;
        ASSERT_EQ(1u, boxes.Count()) << c.answer;
        EXPECT_NE(std::string::npos, boxes.Shown()[0].text.find("an entry with the same name"));
        EXPECT_EQ("Saving parameters", boxes.Shown()[0].title);
        EXPECT_EQ(0x2023u, boxes.Shown()[0].style);
        EXPECT_EQ(WithoutSaveTime(c.expected), WithoutSaveTime(Bytes(path))) << c.answer;
        EXPECT_EQ(c.saved ? 0 : 1, FractalModified(f)) << c.answer;
        EXPECT_FALSE(FileExists(folder / "~tmp0091.bac"));
    }

    // A stray control byte: the first question, then the format question;
    // Yes to both appends.
    formulatest::WriteBytes(path, std::string("A  {\r\n}\r\n\x01"));
    {
        ScriptedBoxes boxes(IDYES);
        EXPECT_TRUE(SaveFractalToParameterFile(f, path.c_str()));
        ASSERT_EQ(2u, boxes.Count());
        EXPECT_NE(std::string::npos, boxes.Shown()[0].text.find("non standard characters"));
        EXPECT_NE(std::string::npos, boxes.Shown()[1].text.find("annoy you again"));
    }
    EXPECT_EQ(WithoutSaveTime(std::string("A  {\r\n}\r\n\x01\r\n") + entry), WithoutSaveTime(Bytes(path)));
    {
        formulatest::WriteBytes(path, std::string("A  {\r\n}\r\n\x01"));
        ScriptedBoxes boxes(IDNO);
        EXPECT_FALSE(SaveFractalToParameterFile(f, path.c_str()));
        EXPECT_EQ(1u, boxes.Count());
        EXPECT_EQ(std::string("A  {\r\n}\r\n\x01"), Bytes(path));
    }
    delete f;
}

// Saving a folder: every fractal but the layer fractals, in list order,
// each entry followed by three line breaks; the layers stand inside their
// layered fractal. Modified flags are cleared.
TEST_F(EntryWriter, SaveFolderWritesEveryTopLevelFractal)
{
    TempFolder temp;
    FractalFolder* folder = new FractalFolder();
    Fractal* plasma = new Fractal(FT_PLASMA, 0);
    plasma->SetName("P1");
    Fractal* layered = new Fractal();
    for (Fractal* f : {plasma, layered}) {
        f->folder = folder;
        folder->fractals.Append(f);
        FractalModified(f) = 1;
    }
    ASSERT_TRUE(Read("L1  {\n Type=Layered_Fractal\nlayer:\nlayerfractal:\n Type=Escapetime\n"
                     "formula:\n maxiter=11\n}",
                     layered));
    ASSERT_EQ(3, folder->fractals.Count()) << "the layer fractal stands in the folder too";
    std::string path = temp / "f.par";
    ASSERT_TRUE(SaveFolderAsParameterFile(folder, path.c_str()));
    std::string bytes = Bytes(path);
    EXPECT_EQ(0u, bytes.find("P1  {\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("}\r\n\r\n\r\nL1  {\r\n"));
    EXPECT_EQ("}\r\n\r\n\r\n", bytes.substr(bytes.size() - 7));
    EXPECT_EQ(1u, Occurrences(bytes, "layerfractal:"));
    EXPECT_EQ(2u, Occurrences(bytes, "  {\r\n"));
    EXPECT_EQ(0, FractalModified(plasma));
    EXPECT_EQ(0, FractalModified(layered));

    // Read back, the layered fractal has its layer with the fractal's values.
    Fractal* back = new Fractal();
    size_t start = bytes.find("L1  {");
    ASSERT_TRUE(Read(bytes.substr(start), back));
    LayeredParameters* block = static_cast<LayeredParameters*>(back->typeParameters);
    ASSERT_EQ(1, block->layers.Count());
    Layer* layer = static_cast<Layer*>(block->layers.GetHead());
    ASSERT_NE(nullptr, layer->fractal);
    EXPECT_EQ(11, static_cast<EscapetimeParameters*>(layer->fractal->typeParameters)->MaxIter);
    delete back;

    while (ListNode* n = folder->fractals.GetHead())
        folder->fractals.Remove(n);
    delete plasma;
    delete layered;
    delete folder;
}
