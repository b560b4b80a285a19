// The start-up splash dialog, which shows what the start-up loader is
// reading, and the information box of the Help menu (the same dialog with
// an Ok button). It runs modally on the main thread; the loader thread sets
// its text and ends it with Finish.
#pragma once
#include <windows.h>
#include <stddef.h>

#include "ui/Object.h"

// Items of dialogs 110 and 111.
enum {
    IDC_SPLASH_STATUS = 9990,
    IDC_SPLASH_LABEL = 9998,
    IDC_SPLASH_OK = 9980,
    IDD_SPLASH_TRUECOLOUR = 110,
    IDD_SPLASH_PALETTE = 111,
};

enum SplashMode { SPLASH_LOADING = 0, SPLASH_INFORMATION = 1 };

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

    // Runs the dialog modally over the main frame (resource 110 on a
    // 24-bit display, else 111). 1 when Finish ended it, 2 when the user did.
    int Run(int mode);
    // The resource Run uses for a display of bitsPerPixel.
    static int ResourceForDepth(int bitsPerPixel);
    // Loader thread: waits in 1 ms steps until the dialog window exists,
    // then ends the dialog with 1. Returns at once when the dialog has
    // already ended (the user closed it meanwhile).
    void Finish();
    // Records that the dialog's window is gone (WM_DESTROY; the end of Run).
    void MarkEnded() { InterlockedExchange(&ended, 1); }

    HWND window;  // the dialog, null while it does not exist
    int mode;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Place(HWND hwnd);

    CRITICAL_SECTION lock;
    char* text;
    HBRUSH brush;              // 0xBDBDBD, the dialog's background
    volatile LONG ended;       // set when the running dialog's window is destroyed
};

// The start-up splash dialog.
extern SplashDialog g_SplashDialog;
