// The main frame's timers: 9999 every 200 ms for the progress dialog, and
// up to 25 more added by the application (status bar, colour cycling).
#pragma once

#include <windows.h>

#include "ui/Object.h"

class PControl;

enum { TIMER_PROGRESS_DIALOG = 9999, TIMER_TABLE_SLOTS = 25 };

class PTimerTable : public PObject {
public:
    // Starts timer 9999 on the main frame.
    PTimerTable();
    // Stops 9999 and every timer of the table.
    virtual ~PTimerTable();

    // Starts a timer in the first free slot; a full table ignores the call.
    void Add(int id, int milliseconds);
    // Re-arms a timer of the table with a new interval; other ids are ignored.
    void SetInterval(int id, int milliseconds);

    int timerIds[TIMER_TABLE_SLOTS];   // 0 = free
    int intervals[TIMER_TABLE_SLOTS];
    // A list control's single click that waits for the double-click time.
    DWORD pendingClickTick;
    PControl* pendingClickControl;

private:
    HWND frame;
};
