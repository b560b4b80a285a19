// Every message box of the program goes through the message-box service, so
// that the application can own it and a headless run can answer it.
#include "foundation/MessageBox.h"

#include "foundation/Services.h"

PMessageBox g_ErrorBox(MB_STYLE_ERROR);
PMessageBox g_InfoBox(MB_STYLE_INFO);

MessageBoxAnswerer SetMessageBoxAnswerer(MessageBoxAnswerer answerer)
{
    MessageBoxAnswerer old = Services().messageBox;
    Services().messageBox = answerer;
    return old;
}

int PMessageBox::Show(const char* title, const char* text)
{
    MessageBoxAnswerer answerer = Services().messageBox;
    if (answerer)
        return answerer(style, title ? title : "", text ? text : "");
    return MessageBoxA(nullptr, text, title, style);
}
