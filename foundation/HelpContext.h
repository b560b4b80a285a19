// Numbers for help texts: a window carries a numeric context-help id, the
// help system works with topic names. Each distinct text gets a small id.
#pragma once

#include <windows.h>

#include "foundation/List.h"

class HelpContextTable {
public:
    HelpContextTable();
    // Removes every entry, frees its text and deletes it.
    virtual ~HelpContextTable();

    HelpContextTable(const HelpContextTable&) = delete;
    HelpContextTable& operator=(const HelpContextTable&) = delete;

    // The id of this text (compared exactly). An unknown text gets the
    // largest id so far + 1 (1 for the first). A null text has no id: 0.
    int GetId(const char* text);
    // The text of an id, or null when the id was never handed out.
    const char* GetText(int id) const;
    // Gives the window the id of the text when the window is not null and
    // the text is longer than one character; otherwise does nothing.
    void SetWindowHelp(HWND window, const char* text);

    int Count() const { return entries.Count(); }

private:
    // Plain nodes: int1 is the id, data a heap copy of the text.
    NodeList entries;
};

// The one table of the program.
extern HelpContextTable g_HelpContexts;
