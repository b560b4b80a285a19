// The overwrite question of the foreign-formula import as a modal dialog
// (resource 113): the texts of both files and the four answers (3 yes,
// 4 yes to all, 5 no, 2 abort; closing the dialog aborts too).
#include "formulas/convert/OverwriteDialog.h"

#include <windows.h>
#include <stdio.h>

#include "formulas/convert/ForeignImport.h"

namespace {

const char* const kMonths[] = {"Unknown Month", "January", "February", "March",     "April",   "May",     "June",
                               "July",          "August",  "September", "October", "November", "December"};

void SetTime(HWND dialog, int id, FILETIME time)
{
    FILETIME local;
    SYSTEMTIME st = {};
    FileTimeToLocalFileTime(&time, &local);
    FileTimeToSystemTime(&local, &st);
    char text[100];
    snprintf(text, sizeof text, "%d. %s %d  %02d:%02d:%02d", st.wDay, kMonths[st.wMonth <= 12 ? st.wMonth : 0],
             st.wYear, st.wHour, st.wMinute, st.wSecond);
    SetDlgItemTextA(dialog, id, text);
}

void SetSize(HWND dialog, int id, uint32_t size)
{
    char text[40];
    snprintf(text, sizeof text, "%d bytes", (int)size);
    SetDlgItemTextA(dialog, id, text);
}

INT_PTR CALLBACK OverwriteProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const OverwriteQuestion& q = *reinterpret_cast<const OverwriteQuestion*>(lParam);
        char text[1200];
        snprintf(text, sizeof text,
                 "Converting the file '%s' would overwrite the existing file '%s'.\n\nDo you want to overwrite the file",
                 q.sourceName, q.targetName);
        SetDlgItemTextA(dialog, IDC_OVERWRITE_QUESTION, text);
        snprintf(text, sizeof text, "%s (existing)", q.targetName);
        SetDlgItemTextA(dialog, IDC_OVERWRITE_OLD_NAME, text);
        SetSize(dialog, IDC_OVERWRITE_OLD_SIZE, q.oldSize);
        SetTime(dialog, IDC_OVERWRITE_OLD_CREATED, q.oldCreation);
        SetTime(dialog, IDC_OVERWRITE_OLD_MODIFIED, q.oldWrite);
        snprintf(text, sizeof text, "%s (new)", q.targetName);
        SetDlgItemTextA(dialog, IDC_OVERWRITE_NEW_NAME, text);
        SetSize(dialog, IDC_OVERWRITE_NEW_SIZE, q.newSize);
        SetTime(dialog, IDC_OVERWRITE_NEW_CREATED, q.newCreation);
        SetTime(dialog, IDC_OVERWRITE_NEW_MODIFIED, q.newWrite);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_OVERWRITE_YES: EndDialog(dialog, 3); return TRUE;
        case IDC_OVERWRITE_YES_TO_ALL: EndDialog(dialog, 4); return TRUE;
        case IDC_OVERWRITE_NO: EndDialog(dialog, 5); return TRUE;
        case IDC_OVERWRITE_ABORT:
        case IDCANCEL: EndDialog(dialog, 2); return TRUE;
        }
        break;
    case WM_CLOSE:
        EndDialog(dialog, 2);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int RunOverwriteDialog(const OverwriteQuestion& question)
{
    // Without the dialog (a program built without its resource) nothing is
    // replaced: the import stops.
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_FORMULA_OVERWRITE),
                                     GetActiveWindow(), &OverwriteProc, (LPARAM)&question);
    return result == 3 || result == 4 || result == 5 ? (int)result : 2;
}
