// A one-line text input (dialog 103): a title, two lines of explanation and
// an edit field with an initial text.
#pragma once

#include <windows.h>

#include "ui/Object.h"

enum {
    IDD_TEXT_INPUT = 103,
    IDC_INPUT_LINE1 = 9999,
    IDC_INPUT_LINE2 = 9998,
    IDC_INPUT_EDIT = 9997,
    IDC_INPUT_OK = 9996,
    IDC_INPUT_CANCEL = 9995,
};

class PTextInputDialog : public PObject {
public:
    PTextInputDialog() = default;
    virtual ~PTextInputDialog();

    // 0 OK (result holds the edit text), 2 cancelled.
    int Run(const char* title, const char* line1, const char* line2, const char* initialText);

    const char* title = nullptr;
    const char* line1 = nullptr;
    const char* line2 = nullptr;
    const char* initialText = nullptr;
    char* result = nullptr;

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

extern PTextInputDialog g_TextInputDialog;
