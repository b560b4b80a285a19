// The main frame's timer table.
#include "ui/TimerTable.h"

#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

PTimerTable::PTimerTable() : pendingClickTick(0), pendingClickControl(NULL), frame(NULL)
{
    if (g_Toolkit.mainFrame != NULL)
        frame = g_Toolkit.mainFrame->hwnd;
    SetTimer(frame, TIMER_PROGRESS_DIALOG, 200, NULL);
    for (int i = 0; i < TIMER_TABLE_SLOTS; ++i)
        timerIds[i] = intervals[i] = 0;
}

PTimerTable::~PTimerTable()
{
    KillTimer(frame, TIMER_PROGRESS_DIALOG);
    for (int i = 0; i < TIMER_TABLE_SLOTS; ++i)
        if (timerIds[i] != 0) {
            KillTimer(frame, timerIds[i]);
            timerIds[i] = 0;
        }
}

void PTimerTable::Add(int id, int milliseconds)
{
    for (int i = 0; i < TIMER_TABLE_SLOTS; ++i)
        if (timerIds[i] == 0) {
            SetTimer(frame, id, milliseconds, NULL);
            timerIds[i] = id;
            intervals[i] = milliseconds;
            return;
        }
}

void PTimerTable::SetInterval(int id, int milliseconds)
{
    for (int i = 0; i < TIMER_TABLE_SLOTS; ++i)
        if (timerIds[i] == id) {
            SetTimer(frame, id, milliseconds, NULL);
            intervals[i] = milliseconds;
            return;
        }
}
