// The program's message boxes (the class and its scripted answerer live in
// the foundation, which reports through them).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "foundation/MessageBox.h"

// The toolkit's modal prompts go through these runners, so that a headless
// run can answer them. The defaults are the system's: DialogBoxParamA of a
// dialog resource of the program, GetOpenFileNameA / GetSaveFileNameA.
typedef INT_PTR (*DialogRunner)(int resourceId, HWND owner, DLGPROC procedure, LPARAM param);
typedef BOOL (*FileRequesterRunner)(OPENFILENAMEA* request, bool save);

// Install a runner (null restores the system's); answer the previous one.
DialogRunner SetDialogRunner(DialogRunner runner);
FileRequesterRunner SetFileRequesterRunner(FileRequesterRunner runner);

INT_PTR RunModalDialog(int resourceId, HWND owner, DLGPROC procedure, LPARAM param);
BOOL RunFileRequester(OPENFILENAMEA* request, bool save);
