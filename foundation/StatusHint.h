#pragma once

// Ticks of the main frame's 100 ms status timer until the status-bar hint
// is cleared; below 0 when no hint is counting down. The timer
// (UpdateStatusOnTimer) counts it down.
extern int StatusHintCountdown;

// Shows text in part 0 of the main frame's status bar and clears it again
// after the given number of status-timer ticks. The text must stay valid
// until the status bar has shown it (it is posted).
void SetStatusHint(const char* text, int ticks);

