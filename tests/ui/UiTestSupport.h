// Shared set-up of the window-toolkit tests: the toolkit started once (window
// classes, tooltip window, fonts), a recorder bound to the application seam,
// an in-memory registry, and message pumping with a time limit.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ui/UiHandlers.h"

// Starts the toolkit once per process: InitToolkit, the window classes and
// the four fonts (GUI font "Tahoma" 8 pt).
void StartToolkitOnce();

// Pumps this thread's messages until done() answers true or the time is up;
// answers done()'s last answer.
template <class F>
bool PumpUntil(F done, DWORD milliseconds = 5000)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - start > milliseconds)
            return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

// Dispatches whatever is queued now.
void PumpPending();

// Records what the window procedures hand to the application. While an
// instance lives it is bound to g_UiHandlers (the previous table comes back
// afterwards).
class HandlerRecorder {
public:
    HandlerRecorder();
    ~HandlerRecorder();

    std::vector<std::string> calls;  // "name id" in order
    std::map<std::string, DWORD> registry;  // "key/value" -> value
    int confirmCloseAnswer = 0;
    bool keyUsed = false;
    void* nextRenderJob = nullptr;
    std::vector<void*> listedJobs;
    std::vector<void*> finishedJobs;
    int mergeCounter = 0;
    bool layersMayMerge = true;

    int Count(const std::string& prefix) const;
    static HandlerRecorder* current;

private:
    UiHandlers saved_;
};
