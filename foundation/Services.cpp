// The table of window and shell services (see Services.h).
#include "foundation/Services.h"

ShellServices& Services()
{
    static ShellServices services = {};
    return services;
}

bool IsCalculationThread()
{
    bool (*test)() = Services().isFractalThread;
    return test != nullptr && test();
}
