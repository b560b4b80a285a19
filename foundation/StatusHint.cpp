#include "foundation/StatusHint.h"
#include <stddef.h>
#include "ui/StatusBar.h"

int StatusHintCountdown = -1;

void SetStatusHint(const char* text, int ticks)
{
    if (MainStatusBar != NULL)
        MainStatusBar->SetHint(text);
    StatusHintCountdown = ticks;
}

