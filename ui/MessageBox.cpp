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
