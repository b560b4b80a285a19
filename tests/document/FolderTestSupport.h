// Shared set-up of the folder, selection and layer tests: recorders bound
// to the menu, listing and clipboard hooks, a fixture that empties
// FolderList after each test, and a check of a folder list's own links.
#pragma once
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Selection.h"
#include "tests/document/DocumentTestSupport.h"

// What the hooks were told: menu states, combo-box entries, tree items,
// captions and tool-window refreshes.
struct HookRecorder {
    std::map<int, bool> grayed, checked;
    std::map<int, std::string> texts;
    int radio = 0;
    std::vector<std::string> combo[2];   // 0: fractals (204), 1: folders (205)
    int comboSelection[2] = {-2, -2};
    bool tree = false;
    std::vector<std::string> treeInserts;   // "name<parent"
    std::vector<std::string> treeDeletes;
    std::string title;
    std::vector<int> toolWindows;
    bool clipboardSet = false;
    std::string clipboard;

    static HookRecorder*& Current()
    {
        static HookRecorder* current = nullptr;
        return current;
    }
    static int Slot(int control) { return control == FOLDER_COMBO_ID ? 1 : 0; }

    void Install()
    {
        Current() = this;
        g_Menu.gray = [](int id, bool g) { Current()->grayed[id] = g; };
        g_Menu.check = [](int id, bool c) { Current()->checked[id] = c; };
        g_Menu.checkRadio = [](int id, int, int) { Current()->radio = id; };
        g_Menu.setText = [](int id, const char* t) { Current()->texts[id] = t; };
        g_Listings = ListingHooks{};
        g_Listings.comboReset = [](int c) { Current()->combo[Slot(c)].clear(); };
        g_Listings.comboAdd = [](int c, const char* t) { Current()->combo[Slot(c)].push_back(t); };
        g_Listings.comboSelect = [](int c, int i) { Current()->comboSelection[Slot(c)] = i; };
        g_Listings.treeExists = []() { return Current()->tree; };
        g_Listings.treeInsert = [](ListNode* n, ListNode* parent, ListNode*, int, int, int) {
            Current()->treeInserts.push_back(std::string(n->name) + "<" + (parent ? parent->name : ""));
            n->data = n;
        };
        g_Listings.treeDelete = [](ListNode* n) {
            Current()->treeDeletes.push_back(n->name);
            n->data = nullptr;
        };
        g_Listings.setWindowTitle = [](PFrameWindow*, const char* t) { Current()->title = t; };
        g_Listings.updateToolWindow = [](int id) { Current()->toolWindows.push_back(id); };
        g_ClipboardText = []() -> char* {
            HookRecorder* r = Current();
            return r->clipboardSet ? _strdup(r->clipboard.c_str()) : nullptr;
        };
    }
    void Uninstall()
    {
        g_Menu = MenuHooks{};
        g_Listings = ListingHooks{};
        g_ClipboardText = nullptr;
        Current() = nullptr;
    }
};

// The names of a folder's fractals in list order, "|"-joined, after
// checking the list's links both ways and its count.
inline std::string FolderOrder(FractalFolder* folder)
{
    std::string names;
    int count = 0;
    ListNode* previous = nullptr;
    for (ListNode* n = folder->fractals.GetHead(); n; n = n->next) {
        EXPECT_EQ(previous, n->prev) << n->name;
        EXPECT_EQ(folder, static_cast<Fractal*>(n)->folder) << n->name;
        EXPECT_TRUE(IsLiveFractal(n)) << "dangling node in the folder";
        if (!IsLiveFractal(n))
            break;
        names += (count++ ? "|" : "") + std::string(n->name);
        previous = n;
    }
    EXPECT_EQ(previous, folder->fractals.GetTail());
    EXPECT_EQ(count, folder->fractals.Count());
    return names;
}

class FolderFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareDocumentModel();
        hooks.Install();
    }
    void TearDown() override
    {
        while (ListNode* head = FolderList.GetHead())
            DeleteFolder(static_cast<FractalFolder*>(head), false, false);
        CurrentFolder = nullptr;
        ParameterPickActive = 0;
        ParameterPickFractal = nullptr;
        hooks.Uninstall();
    }
    FractalFolder* NewFolder(const char* name, int kind = FOLDER_PARAMETERS, bool listed = true)
    {
        return new FractalFolder("C:\\params", name, kind, true, listed);
    }
    static Fractal* Named(const char* name, int type = FT_PLASMA)
    {
        Fractal* f = new Fractal(type, 0);
        f->SetName(name);
        return f;
    }

    HookRecorder hooks;
};
