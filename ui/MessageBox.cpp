// The toolkit's modal prompts: dialog resources and the file requester run
// through replaceable runners, so that tests and headless runs answer them.
#include "ui/MessageBox.h"

namespace {

INT_PTR SystemDialog(int resourceId, HWND owner, DLGPROC procedure, LPARAM param)
{
    return DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(resourceId), owner, procedure,
                           param);
}

BOOL SystemFileRequester(OPENFILENAMEA* request, bool save)
{
    return save ? GetSaveFileNameA(request) : GetOpenFileNameA(request);
}

volatile DialogRunner s_dialogRunner = nullptr;
volatile FileRequesterRunner s_fileRequesterRunner = nullptr;

}  // namespace

DialogRunner SetDialogRunner(DialogRunner runner)
{
    DialogRunner old = s_dialogRunner;
    s_dialogRunner = runner;
    return old;
}

FileRequesterRunner SetFileRequesterRunner(FileRequesterRunner runner)
{
    FileRequesterRunner old = s_fileRequesterRunner;
    s_fileRequesterRunner = runner;
    return old;
}

INT_PTR RunModalDialog(int resourceId, HWND owner, DLGPROC procedure, LPARAM param)
{
    DialogRunner runner = s_dialogRunner;
    return (runner ? runner : SystemDialog)(resourceId, owner, procedure, param);
}

BOOL RunFileRequester(OPENFILENAMEA* request, bool save)
{
    FileRequesterRunner runner = s_fileRequesterRunner;
    return (runner ? runner : SystemFileRequester)(request, save);
}
