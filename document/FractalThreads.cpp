#include "document/FractalThreads.h"
#include <windows.h>
#include "foundation/List.h"
#include "foundation/Thread.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "calc/FractalTask.h"

bool IsFractalThread()
{
    DWORD self = GetCurrentThreadId();
    for (ListNode* f = FolderList.GetHead(); f != NULL; f = f->next) {
        FractalFolder* folder = static_cast<FractalFolder*>(f);
        for (ListNode* n = folder->fractals.GetHead(); n != NULL; n = n->next) {
            FractalTask* task = static_cast<Fractal*>(n)->task;
            if (task != NULL && task->thread != NULL && task->thread->threadId == self)
                return true;
        }
    }
    return false;
}

int WaitForLockOrCommand(Fractal* fractal, BusyLock* lock, bool keepRedraw)
{
    for (;;) {
        FractalTask* task = fractal != NULL ? fractal->task : NULL;
        if (task != NULL) {
            // The word is read once per round: a redraw request written by the
            // main thread between dropping one and testing the word again must
            // not end the wait. The drop only clears the word while it still
            // holds the redraw request, so a newer command is never lost.
            int command = task->command;
            if (command == FTC_REDRAW3D && !keepRedraw) {
                InterlockedCompareExchange((volatile LONG*)&task->command, 0, FTC_REDRAW3D);
                continue;
            }
            if (command != 0)
                return 0;
        }
        if (lock->TryLock())
            return 1;
    }
}

Fractal* GetBaseFractal(Fractal* fractal)
{
    if (fractal == NULL)
        return NULL;
    return fractal->baseFractal != NULL ? fractal->baseFractal : fractal;
}
