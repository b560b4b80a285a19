#include "foundation/StatusHint.h"
#include <stddef.h>
#include "foundation/Services.h"

int StatusHintCountdown = -1;

void SetStatusHint(const char* text, int ticks)
{
    if (Services().setStatusHint != NULL)
        Services().setStatusHint(text);
    StatusHintCountdown = ticks;
}

