#pragma once

// Ids of the main frame's timers.
enum {
    TIMER_STATUS = 1000,         // every 100 ms: status bar and window upkeep
    TIMER_COLOUR_CYCLING = 1001, // colour cycling, while it runs
};

// The work of the main frame's timers, called on WM_TIMER with the timer id.
void UpdateStatusOnTimer(int timerId);
