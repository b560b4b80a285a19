#include "ui/MessageBox.h"

PMessageBox g_ErrorBox(MB_STYLE_ERROR);
PMessageBox g_InfoBox(MB_STYLE_INFO);

static volatile MessageBoxAnswerer s_answerer = nullptr;

MessageBoxAnswerer SetMessageBoxAnswerer(MessageBoxAnswerer answerer)
{
    MessageBoxAnswerer old = s_answerer;
    s_answerer = answerer;
    return old;
}

int PMessageBox::Show(const char* title, const char* text)
{
    MessageBoxAnswerer answerer = s_answerer;
    if (answerer)
        return answerer(style, title ? title : "", text ? text : "");
    return MessageBoxA(nullptr, text, title, style);
}

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
