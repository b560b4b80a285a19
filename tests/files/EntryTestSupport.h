// What the entry writer and reader tests share: the program's formula
// folder scanned once per test program (the older types and Fractint
// entries are read into its formulas), reading an entry from a string,
// and entry texts compared without their save time.
#pragma once

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "document/Fractal.h"
#include "files/entry/EntryReader.h"
#include "files/entry/EntryWriter.h"
#include "formulas/FormulaLoader.h"
#include "foundation/Messages.h"
#include "tests/formulas/FormulaTestSupport.h"

namespace entrytest {

// The program's formula folder of this checkout, as a Windows path.
inline std::string FormulaFolder()
{
    std::string data = SPIRALIX_TEST_DATA;
    std::string folder = data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas";
    for (char& c : folder)
        if (c == '/')
            c = '\\';
    return folder;
}

inline std::string Messages()
{
    std::string all;
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        all += std::string(static_cast<MessageNode*>(n)->text) + "\n";
    UnlockMessageList();
    return all;
}

// Reads text into fractal (a new unnamed one when null); the result of
// the reader.
inline Fractal* Read(const std::string& text, Fractal* fractal, bool keepType = false, char* folderName = nullptr)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back(0);
    return ReadParameterEntry(fractal, buffer.data(), folderName, keepType, -1, 0);
}

// The entry text of a fractal with info items and braces.
inline std::string Text(Fractal* fractal, bool withInfo = true)
{
    char* text = MakeParameterText(fractal, withInfo, -1, true);
    std::string out = text ? text : "";
    free(text);
    return out;
}

// The text with the value of saveTime= blanked.
inline std::string WithoutSaveTime(std::string text)
{
    size_t at = text.find("saveTime=");
    if (at != std::string::npos) {
        size_t end = text.find_first_of(" \n", at);
        text.replace(at, end - at, "saveTime=?");
    }
    return text;
}

// The shipped formulas scanned once, the application's services bound.
class EntryTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        previousApp = g_App;
        app = new PApplication(GetModuleHandleA(nullptr));
        g_App = app;
        std::string folder = FormulaFolder();
        ScanFormulaFolder(folder.c_str(), folder.c_str());
        g_NumberOfOutputMessages = 1000;
    }
    static void TearDownTestSuite()
    {
        formulatest::ClearFormulaTrees();
        DeleteAllMessages();
        g_App = previousApp;
        delete app;
        app = nullptr;
    }
    void SetUp() override { DeleteAllMessages(); }

    static PApplication* app;
    static PApplication* previousApp;
};

inline PApplication* EntryTest::app = nullptr;
inline PApplication* EntryTest::previousApp = nullptr;

}  // namespace entrytest
