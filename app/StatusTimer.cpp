#include "app/StatusTimer.h"
#include <stddef.h>
#include "foundation/StatusHint.h"
#include "ui/StatusBar.h"

void UpdateStatusOnTimer(int timerId)
{
    if (timerId != TIMER_STATUS)
        return;

    // The hint set by SetStatusHint disappears once its ticks have run out.
    if (StatusHintCountdown >= 0) {
        StatusHintCountdown--;
        if (StatusHintCountdown < 0 && MainStatusBar != NULL)
            MainStatusBar->SetHint("");
    }
}
