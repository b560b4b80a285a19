#pragma once
#include <windows.h>
#include "foundation/Object.h"

// A message box with a fixed style. Every message box of the program goes
// through PMessageBox::Show, so that a headless run can answer them.
class PMessageBox : public PObject {
public:
    explicit PMessageBox(UINT style) : style(style) {}
    // Shows the box without an owner window and returns the button pressed
    // (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7).
    int Show(const char* title, const char* text);

    UINT style;
};

enum {
    MB_STYLE_ERROR = 0x2010,        // MB_TASKMODAL | MB_ICONHAND
    MB_STYLE_INFO = 0x2040,         // MB_TASKMODAL | MB_ICONINFORMATION
    MB_STYLE_YESNOCANCEL = 0x2023,
    MB_STYLE_YESNO = 0x2024,
    MB_STYLE_WARNYESNOCANCEL = 0x2033,
};

// The two global boxes most code reports through.
extern PMessageBox g_ErrorBox;  // style 0x2010
extern PMessageBox g_InfoBox;   // style 0x2040

// Replaces the system message box: while an answerer is installed (the
// message-box service of foundation/Services.h), Show
// calls it instead of MessageBoxA and returns its answer. Returns the
// answerer that was installed before. Tests script their boxes with it.
typedef int (*MessageBoxAnswerer)(UINT style, const char* title, const char* text);
MessageBoxAnswerer SetMessageBoxAnswerer(MessageBoxAnswerer answerer);
