// The formula files the program ships for its older types and for Fractint
// entries: every entry compiles as its kind, and every name the entry
// reader asks for (the old types' formulas and colourings, the
// transformations it makes, one formula per Fractint type name) is found
// by file and name in the program's formula folder.
#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "document/Fractal.h"
#include "files/entry/EntryTypeNames.h"
#include "formulas/FormulaKind.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaLookup.h"
#include "formulas/FormulaNode.h"
#include "tests/formulas/FormulaTestSupport.h"

using formulatest::ClearFormulaTrees;

namespace {

// The program's formula folder of this checkout, as a Windows path.
std::string FormulaFolder()
{
    std::string data = SPIRALIX_TEST_DATA;
    std::string folder = data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas";
    for (char& c : folder)
        if (c == '/')
            c = '\\';
    return folder;
}

std::string Messages()
{
    std::string all;
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        all += std::string(static_cast<MessageNode*>(n)->text) + "\n";
    UnlockMessageList();
    return all;
}

// The entry names of a formula file: lines that start with a name and end
// in the opening brace, the group in parentheses left out.
std::vector<std::string> EntryNames(const std::string& path)
{
    std::ifstream in(path.substr(2));  // drop "Z:" for the host path
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || isspace((unsigned char)line[0]) || line[0] == ';' || line.back() != '{')
            continue;
        std::string name = line.substr(0, line.size() - 1);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (!name.empty() && name.back() == ')')
            name = name.substr(0, name.rfind('('));
        names.push_back(name);
    }
    return names;
}

class ShippedFormulas : public testing::Test {
protected:
    void SetUp() override
    {
        previousApp = g_App;
        g_App = &app;
        std::string folder = FormulaFolder();
        ScanFormulaFolder(folder.c_str(), folder.c_str());
        DeleteAllMessages();
        g_NumberOfOutputMessages = 1000;
    }
    void TearDown() override
    {
        ClearFormulaTrees();
        DeleteAllMessages();
        g_NumberOfOutputMessages = 200;
        g_App = previousApp;
    }

    // Looks the formula up by file and name and compiles what was found;
    // an empty result means success, else what went wrong.
    std::string LookupAndCompile(const char* file, const std::string& name, int kind, int subKind = SK_PLANE)
    {
        FormulaHolder holder(kind);
        char fileName[100];
        char foundName[64] = "";
        snprintf(fileName, sizeof fileName, "%s", file);
        LookupFormula(nullptr, FT_ESCAPETIME, fileName, sizeof fileName, name.c_str(), foundName, &holder);
        if (strncmp(foundName, "Not Found", 9) == 0 || holder.GetSource() == nullptr)
            return name + ": not found in " + file + " (" + foundName + ")";
        DeleteAllMessages();
        bool ok = holder.compiler->compile(holder.GetSource(), 0, -128, nullptr, nullptr, nullptr, name.c_str(),
                                           subKind, nullptr, false, false);
        std::string messages = Messages();
        if (!ok || ("\n" + messages).find("\nError") != std::string::npos)
            return name + ": does not compile\n" + messages;
        return "";
    }

    PApplication app{GetModuleHandleA(nullptr)};
    PApplication* previousApp = nullptr;
};

}  // namespace

TEST_F(ShippedFormulas, EveryEntryCompilesAsItsKind)
{
    struct File {
        const char* name;
        const char* lookupName;
        int kind;
        size_t atLeast;
    };
    const File files[] = {
        {"Spiralix.sfm", "Spiralix", FK_ITERATION, 7},
        {"Spiralix.scl", "Spiralix", FK_COLORING, 8},
        {"Spiralix.str", "Spiralix", FK_TRANSFORMATION, 2},
        {"FractInt.sfm", "FractInt", FK_ITERATION, 66},
        {"FractInt.scl", "FractInt", FK_COLORING, 2},
    };
    for (const File& f : files) {
        std::vector<std::string> names = EntryNames(FormulaFolder() + "\\" + f.name);
        EXPECT_GE(names.size(), f.atLeast) << f.name;
        for (const std::string& name : names) {
            int subKind = name == "Hybrid" ? SK_QUATERNION : name == "geometry" ? SK_ATTRACTOR : SK_PLANE;
            EXPECT_EQ("", LookupAndCompile(f.lookupName, name, f.kind, subKind)) << f.name;
        }
    }
}

// What new fractals and the reader's conversions name: the default
// formula, the formulas, colourings and transformations of the old types,
// and the uppercase Fractint type name.
TEST_F(ShippedFormulas, TheNamesTheReaderAsksForAreThere)
{
    struct Wanted {
        const char* file;
        const char* name;
        int kind;
    };
    const Wanted wanted[] = {
        {"Spiralix.sfm", "Mandelbrot", FK_ITERATION},       {"Spiralix", "SX_JulMand8", FK_ITERATION},
        {"Spiralix", "SX_JulMand24", FK_ITERATION},
        {"Spiralix", "compLyap", FK_ITERATION},             {"Spiralix", "compBif", FK_ITERATION},
        {"Spiralix", "SXTiera_Mandelbrot", FK_ITERATION},   {"Spiralix", "Refactor_JulMand8_I", FK_COLORING},
        {"Spiralix", "Refactor_JulMand8_O", FK_COLORING},   {"Spiralix", "Refactor_JulMand24_I", FK_COLORING},
        {"Spiralix", "Refactor_JulMand24_O", FK_COLORING},  {"Spiralix", "Refactor_Tierazon", FK_COLORING},
        {"Spiralix", "compLyap", FK_COLORING},              {"Spiralix", "compBif", FK_COLORING},
        {"Spiralix.scl", "UF_None", FK_COLORING},           {"Spiralix", "Circle_Inversion", FK_TRANSFORMATION},
        {"Spiralix", "SkewStretchComp", FK_TRANSFORMATION}, {"FractInt", "FractInt_Inside", FK_COLORING},
        {"FractInt", "FractInt_Outside", FK_COLORING},      {"FractInt", "MANDEL", FK_ITERATION},
        {"FractInt", "JULIA", FK_ITERATION},
    };
    for (const Wanted& w : wanted)
        EXPECT_EQ("", LookupAndCompile(w.file, w.name, w.kind));
    // The formulas new quaternion and attractor fractals start with.
    EXPECT_EQ("", LookupAndCompile("Spiralix.sfm", "Hybrid", FK_ITERATION, SK_QUATERNION));
    EXPECT_EQ("", LookupAndCompile("Quaternions.scl", "SX_None", FK_COLORING, SK_QUATERNION));
    EXPECT_EQ("", LookupAndCompile("Attractors.scl", "Attractor_Default", FK_COLORING, SK_ATTRACTOR));
    EXPECT_EQ("", LookupAndCompile("AttractorConstructor.sfm", "geometry", FK_ITERATION, SK_ATTRACTOR));

    for (int i = 0; i < FRACTINT_TYPE_COUNT; i++) {
        char name[64];
        FormulaNameOfType(g_FractintTypeNames[i], name, sizeof name);
        EXPECT_EQ("", LookupAndCompile("FractInt", name, FK_ITERATION)) << g_FractintTypeNames[i];
    }
}
