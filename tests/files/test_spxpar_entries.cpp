// spxpar's entry commands: every type written by new and read by dump
// gives the dump of the new fractal, rewrite reproduces its own output but
// for the time of saving, and dump reports refused and missing entries by
// name and exit code. Every run starts a process, so each run covers all
// types at once.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/files/EntryTestSupport.h"
#include "tests/support/ToolRunner.h"

using formulatest::TempFolder;

namespace {

const char kAllTypes[] = "--type Plasma --type Dynamic_System --type LSystem --type IFS --type Escapetime "
                         "--type Layered_Fractal --type Quaternion --type Image --type Attractor";

ToolRun Spxpar(const std::string& arguments)
{
    return RunSibling("spxpar.exe", arguments + " --path \"" + entrytest::FormulaFolder() + "\"");
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// The dump without what the moment changes: the comment text, expanded
// from the template when saving, the credit a new fractal gets with the
// minute of its making, and the name of a fractal that had none (the
// reader calls it "No name"). A new quaternion's default colouring is
// compiled only once it is read.
std::string Comparable(const std::string& dump)
{
    std::istringstream lines(dump);
    std::string out, line;
    while (std::getline(lines, line)) {
        bool moment = line.compare(0, 8, "comment=") == 0 || line.compare(0, 8, "credits=") == 0;
        bool unnamed = line == "entry=" || line == "entry=No name";
        if (moment || unnamed || line.compare(0, 18, "coloring.compiled=") == 0)
            continue;
        out += line + "\n";
    }
    return out;
}

// The text with the items the moment of saving writes blanked.
std::string WithoutSavingTime(std::string text)
{
    for (const char* key : {"saveTime=", "CommentText=\""}) {
        for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
            bool quoted = key[strlen(key) - 1] == '"';
            size_t end = quoted ? text.find("\"\r\n", at + strlen(key)) : text.find_first_of(" \r", at);
            text.replace(at, end - at, key);
        }
    }
    return text;
}

std::string Bytes(const std::string& path)
{
    return formulatest::ReadBytes(path);
}

}  // namespace

TEST(SpxparEntries, NewWrittenAndDumpedEqualsTheNewDump)
{
    TempFolder temp;
    std::string file = temp / "all.par";
    ToolRun fresh = Spxpar(std::string("new ") + kAllTypes);
    ASSERT_EQ(0u, fresh.exitCode) << fresh.errors;
    ToolRun written = Spxpar(std::string("new ") + kAllTypes + " " + Quoted(file));
    ASSERT_EQ(0u, written.exitCode) << written.errors;
    EXPECT_EQ("", written.output);
    ToolRun dumped = Spxpar("dump " + Quoted(file));
    ASSERT_EQ(0u, dumped.exitCode) << dumped.errors;
    EXPECT_EQ(Comparable(fresh.output), Comparable(dumped.output));
    size_t entries = 0;
    for (size_t at = dumped.output.find("entry="); at != std::string::npos; at = dumped.output.find("entry=", at + 1))
        entries += at == 0 || dumped.output[at - 1] == '\n';
    EXPECT_EQ(9u, entries);

    // rewrite twice: the second file equals the first but for the time of
    // saving; both have CR LF line ends.
    std::string once = temp / "once.par", twice = temp / "twice.par";
    ToolRun first = Spxpar("rewrite " + Quoted(file) + " " + Quoted(once));
    ASSERT_EQ(0u, first.exitCode) << first.errors;
    ToolRun second = Spxpar("rewrite " + Quoted(once) + " " + Quoted(twice));
    ASSERT_EQ(0u, second.exitCode) << second.errors;
    std::string a = Bytes(once), b = Bytes(twice);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(WithoutSavingTime(a), WithoutSavingTime(b));
    EXPECT_NE(std::string::npos, a.find("}\r\n\r\n\r\nDynamicSystem  {\r\n"));
    size_t lf = 0, crlf = 0;
    for (size_t i = 0; i < a.size(); i++) {
        lf += a[i] == '\n';
        crlf += a[i] == '\n' && i > 0 && a[i - 1] == '\r';
    }
    EXPECT_EQ(lf, crlf);
}

// A refused entry is named and makes the exit code 1 while the others are
// dumped; a missing entry or file gives 2.
TEST(SpxparEntries, RefusedAndMissingEntries)
{
    TempFolder temp;
    std::string file = temp / "mixed.par";
    formulatest::WriteBytes(file, "Good  {\r\n Type=Plasma\r\n}\r\nBad  {\r\n Type=foo commentTemplate=\"}\"\r\n}\r\n"
                                  "Later  {\r\n Type=IFS\r\n}\r\n");
    ToolRun mixed = Spxpar("dump " + Quoted(file));
    EXPECT_EQ(1u, mixed.exitCode);
    EXPECT_NE(std::string::npos, mixed.output.find("entry=Good\n"));
    EXPECT_NE(std::string::npos, mixed.output.find("entry=Later\n"));
    EXPECT_EQ(std::string::npos, mixed.output.find("entry=Bad"));
    EXPECT_NE(std::string::npos, mixed.errors.find("Unknown type in entry Bad: FOO"));
    EXPECT_NE(std::string::npos, mixed.errors.find("entry Bad not read"));

    ToolRun missing = Spxpar("dump " + Quoted(file) + " --entry Nowhere");
    EXPECT_EQ(2u, missing.exitCode);
    EXPECT_EQ("", missing.output);
}

// Hand-written entries of the own, old and Fractint forms and an old
// quaternion: rewritten into the own form they dump as the originals do.
TEST(SpxparEntries, RewrittenHandWrittenEntriesDumpAsTheOriginals)
{
    TempFolder work;
    std::string original = std::string(SPIRALIX_TEST_DATA) + "\\files\\handwritten.par";
    std::string rewritten = work / "rewritten.par";
    ToolRun rewrite = Spxpar("rewrite " + Quoted(original) + " " + Quoted(rewritten));
    ASSERT_EQ(0u, rewrite.exitCode) << rewrite.errors;
    ToolRun before = Spxpar("dump " + Quoted(original));
    ToolRun after = Spxpar("dump " + Quoted(rewritten));
    ASSERT_EQ(0u, before.exitCode) << before.errors;
    ASSERT_EQ(0u, after.exitCode) << after.errors;
    EXPECT_NE(std::string::npos, before.output.find("entry=Quat"));
    EXPECT_EQ(Comparable(before.output), Comparable(after.output));

    // view takes its fractal from an entry of the file.
    ToolRun view = Spxpar("view " + Quoted(rewritten) + " --entry OldMandel --pixel 0,479");
    ASSERT_EQ(0u, view.exitCode) << view.errors;
    EXPECT_NE(std::string::npos, view.output.find("point=-2.0,1.5\n")) << view.output;
    EXPECT_NE(std::string::npos, view.output.find("V2=2.0,-1.5\n")) << view.output;
}
