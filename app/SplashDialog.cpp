#include "app/SplashDialog.h"

#include <stdlib.h>
#include <string.h>

SplashDialog g_SplashDialog;

SplashDialog::SplashDialog() : window(NULL), text(NULL)
{
    InitializeCriticalSection(&lock);
}

SplashDialog::~SplashDialog()
{
    free(text);
    DeleteCriticalSection(&lock);
}

void SplashDialog::SetText(const char* newText)
{
    char* copy = newText != NULL ? _strdup(newText) : NULL;
    EnterCriticalSection(&lock);
    free(text);
    text = copy;
    LeaveCriticalSection(&lock);
    HWND w = window;
    if (w != NULL)
        SetDlgItemTextA(w, IDC_SPLASH_STATUS, newText != NULL ? newText : "");
}

void SplashDialog::GetText(char* out, size_t size)
{
    if (out == NULL || size == 0)
        return;
    EnterCriticalSection(&lock);
    const char* t = text != NULL ? text : "";
    size_t n = strlen(t);
    if (n >= size)
        n = size - 1;
    memcpy(out, t, n);
    out[n] = 0;
    LeaveCriticalSection(&lock);
}
