// The text-input dialog.
#include "ui/TextInputDialog.h"

#include <stdlib.h>

#include "ui/FrameWindow.h"
#include "ui/MessageBox.h"
#include "ui/Toolkit.h"

PTextInputDialog g_TextInputDialog;

PTextInputDialog::~PTextInputDialog()
{
    free(result);
}

int PTextInputDialog::Run(const char* newTitle, const char* first, const char* second,
                          const char* initial)
{
    title = newTitle;
    line1 = first;
    line2 = second;
    initialText = initial;
    HWND owner = g_Toolkit.mainFrame != NULL ? g_Toolkit.mainFrame->hwnd : NULL;
    return (int)RunModalDialog(IDD_TEXT_INPUT, owner, DialogProc, (LPARAM)this);
}

INT_PTR CALLBACK PTextInputDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                              LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        PTextInputDialog* self = reinterpret_cast<PTextInputDialog*>(lParam);
        SetWindowLongA(dialog, DWL_USER, (LONG)lParam);
        if (self->title)
            SetWindowTextA(dialog, self->title);
        if (self->line1)
            SetDlgItemTextA(dialog, IDC_INPUT_LINE1, self->line1);
        if (self->line2)
            SetDlgItemTextA(dialog, IDC_INPUT_LINE2, self->line2);
        if (self->initialText)
            SetDlgItemTextA(dialog, IDC_INPUT_EDIT, self->initialText);
        return TRUE;
    }
    PTextInputDialog* self = reinterpret_cast<PTextInputDialog*>(GetWindowLongA(dialog, DWL_USER));
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_INPUT_OK && self != NULL) {
        int length = GetWindowTextLengthA(GetDlgItem(dialog, IDC_INPUT_EDIT));
        char* text = static_cast<char*>(calloc(length + 1, 1));
        GetDlgItemTextA(dialog, IDC_INPUT_EDIT, text, length + 1);
        free(self->result);
        self->result = text;
        EndDialog(dialog, 0);
        return TRUE;
    }
    if ((message == WM_COMMAND && (LOWORD(wParam) == IDC_INPUT_CANCEL || LOWORD(wParam) == IDCANCEL)) ||
        message == WM_CLOSE) {
        EndDialog(dialog, 2);
        return TRUE;
    }
    return FALSE;
}
