#pragma once
#include <windows.h>
#include <stddef.h>

#include "ui/Object.h"

// Control id of the splash dialog's status text.
enum { IDC_SPLASH_STATUS = 9990 };

// The start-up splash dialog, which shows what the start-up loader is
// reading. So far it keeps the status text and shows it in its status text
// control once its window exists; the loader and the folder scans set it
// from worker threads.
class SplashDialog : public PObject {
public:
    SplashDialog();
    virtual ~SplashDialog();
    SplashDialog(const SplashDialog&) = delete;
    SplashDialog& operator=(const SplashDialog&) = delete;

    // Replaces the stored text by a copy of text (null: no text) and, when
    // the dialog window exists, shows it in the status text control.
    void SetText(const char* text);
    // Copies the stored text into out (size bytes, cut to fit; empty when
    // there is none).
    void GetText(char* out, size_t size);

    HWND window;  // the dialog, null while it does not exist

private:
    CRITICAL_SECTION lock;
    char* text;
};

// The start-up splash dialog.
extern SplashDialog g_SplashDialog;
