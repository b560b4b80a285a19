#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "foundation/HelpContext.h"

TEST(HelpContextTable, TextsGetSequentialIdsOnce)
{
    HelpContextTable table;
    EXPECT_EQ(table.GetId("Fractalwindow"), 1);   // empty table: 1
    EXPECT_EQ(table.GetId("Theory of Quaternions;Fractalwindow"), 2);
    EXPECT_EQ(table.GetId("Fractalwindow"), 1);   // known text: same id, no entry
    EXPECT_EQ(table.Count(), 2);
    EXPECT_EQ(table.GetId("fractalwindow"), 3);   // texts compare with case
    EXPECT_EQ(table.Count(), 3);

    EXPECT_STREQ(table.GetText(1), "Fractalwindow");
    EXPECT_STREQ(table.GetText(2), "Theory of Quaternions;Fractalwindow");
    EXPECT_STREQ(table.GetText(3), "fractalwindow");
    EXPECT_EQ(table.GetText(0), nullptr);
    EXPECT_EQ(table.GetText(4), nullptr);
    EXPECT_EQ(table.GetText(-1), nullptr);
}

TEST(HelpContextTable, StoredTextIsACopy)
{
    HelpContextTable table;
    char text[] = "Layers";
    int id = table.GetId(text);
    text[0] = 'X';
    EXPECT_STREQ(table.GetText(id), "Layers");
    EXPECT_EQ(table.GetId("Layers"), id);
}

TEST(HelpContextTable, SetWindowHelpTagsTheWindow)
{
    HWND window = CreateWindowA("STATIC", "help", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    HelpContextTable table;
    table.GetId("Fractalwindow");

    // Texts of one character or none, a null text or window: nothing.
    for (const char* text : {"", "A", (const char*)nullptr}) {
        table.SetWindowHelp(window, text);
        EXPECT_EQ(GetWindowContextHelpId(window), 0u);
    }
    table.SetWindowHelp(nullptr, "Palette Editor");
    EXPECT_EQ(table.Count(), 1);

    table.SetWindowHelp(window, "Palette Editor");
    EXPECT_EQ(table.Count(), 2);
    EXPECT_EQ(GetWindowContextHelpId(window), 2u);
    EXPECT_STREQ(table.GetText((int)GetWindowContextHelpId(window)), "Palette Editor");

    table.SetWindowHelp(window, "Fractalwindow");   // an id handed out before
    EXPECT_EQ(GetWindowContextHelpId(window), 1u);
    EXPECT_EQ(table.Count(), 2);
    DestroyWindow(window);
}
